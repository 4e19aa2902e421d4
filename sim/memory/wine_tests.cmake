# Wine tests come later
