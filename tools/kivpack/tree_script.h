// An install script for a directory tree: every file and folder below it
// installed into the target directory, as the CPack route asks for one.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct TreeEntry {
    std::string path;        // below the tree, names separated by '/'
    bool directory = false;
    std::uint64_t size = 0;  // of a file
};

struct ProductFacts {
    std::string name;                 // the product's name
    std::string version;              // may be empty
    std::string directory;            // below C:\Program Files\, or a full path with a drive
    // Programs for the group, in order, as paths below the tree ('/' or
    // '\\'); the first is started at the end of the installation.
    std::vector<std::pair<std::string, std::string>> programs;  // file, label
    std::string readme, license;      // the text of the readme topic (3904), UTF-8
};

struct TreeScript {
    std::string script;      // INSTALL.INI text in code page 1252, CR LF lines
    std::string helpSource;  // the help file's source, code page 1252
    unsigned disks = 0;
    unsigned files = 0;
};

// The name the script's help file is installed under.
extern const char TreeHelpFileName[];

// Makes the script for `entries` (every file and folder of the tree, in any
// order), whose keys are the files' paths below the tree, so that the
// script packs from the tree's top folder. Fails, naming the entry, for
// what the installer cannot install: a name of more than 255 characters, a
// name Windows refuses or the script cannot hold, two names of one folder
// that differ only in letter case, more than 32 disks' worth of key names,
// more subdirectories than the installer creates, more than 2 GiB.
bool MakeTreeScript(const std::vector<TreeEntry>& entries, const ProductFacts& facts, TreeScript& out,
                    std::string& error);
