# tests added later
