// What package managers and management tools need to deploy a product: a manifest set in
// the public package manager's YAML schema and a text with the command lines and a rule
// that detects the install.
#pragma once
#include <string>
#include <vector>

struct ManifestInput {
    std::string name, publisher, version;  // [Setup] Name, Publisher, Version (or --version)
    std::string keyName;                   // the Uninstall key the install registers
    std::string architecture;              // "x64" or "x86", from Setup.exe
    std::string url;                       // where the package (a zip) is downloaded from
    std::string sha256;                    // of the package, lower-case hex; may be empty
    std::string packageName;               // the zip's file name
};

struct ManifestFile {
    std::string name;  // file name
    std::string text;  // UTF-8
};

// The package identifier: Publisher.Name, each part without blanks, dots or characters a
// file name may not hold, at most 32 characters.
std::string PackageIdentifier(const ManifestInput& in);
// The version, installer and default-locale manifests, and the management tools' text.
std::vector<ManifestFile> MakeManifests(const ManifestInput& in);
// A YAML single-quoted scalar.
std::string YamlQuoted(const std::string& utf8);

// SetupTool manifest FOLDER [--version V] [--url URL] [--package ZIP] --out DIR.
// Returns the exit status (0 done, 2 a file could not be read or written).
int WriteManifests(const std::string& folder, const std::string& version, const std::string& url,
                   const std::string& package, const std::string& outFolder, std::string* report, std::string* errors);
