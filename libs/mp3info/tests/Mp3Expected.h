// The corpus's expected values (data/expected.txt, made by data/make-corpus.py).
#pragma once

#include <map>
#include <string>
#include <vector>

struct Mp3Expected {
    std::map<std::string, std::string> fields;
    const std::string& Text(const std::string& key) const;
    long Number(const std::string& key) const;
};

// Every line of expected.txt under dataDir; empty when it cannot be read.
std::vector<Mp3Expected> LoadMp3Expected(const std::string& dataDir);
