#include "tool/manifest.h"
#include <gtest/gtest.h>

TEST(Manifest, IdentifiersAndQuotedTextsAreValidYaml) {
    struct Case {
        const char* publisher;
        const char* name;
        const char* id;
    } cases[] = {
        {"Sample Software", "Sample Notes", "SampleSoftware.SampleNotes"},
        {"", "Notes", "Notes.Notes"},
        {"A.B/C:D", "x*y?z", "ABCD.xyz"},
        {"...", "   ", "Product.Product"},
        {"P", "0123456789012345678901234567890123456789", "P.01234567890123456789012345678901"},
    };
    for (const Case& c : cases) {
        ManifestInput in;
        in.publisher = c.publisher;
        in.name = c.name;
        EXPECT_EQ(c.id, PackageIdentifier(in));
    }
    EXPECT_EQ("'it''s'", YamlQuoted("it's"));
    EXPECT_EQ("'a b'", YamlQuoted("a\nb"));
    EXPECT_EQ("': # - ['", YamlQuoted(": # - ["));
}

TEST(Manifest, TheSetNamesTheSwitchesCodesAndTheRegistration) {
    ManifestInput in;
    in.name = "Notes";
    in.publisher = "Acme";
    in.version = "2.0";
    in.keyName = "Notes";
    in.architecture = "x86";
    in.url = "https://example.com/n.zip";
    in.sha256 = std::string(64, 'a');
    auto files = MakeManifests(in);
    ASSERT_EQ(4u, files.size());
    EXPECT_EQ("Acme.Notes.yaml", files[0].name);
    EXPECT_EQ("Acme.Notes.installer.yaml", files[1].name);
    EXPECT_EQ("Acme.Notes.locale.en-US.yaml", files[2].name);
    const std::string& installer = files[1].text;
    for (const char* line : {"  Silent: /S\n", "  SilentWithProgress: /passive\n", "  InstallLocation: /D=<INSTALLPATH>\n",
                             "    ProductCode: 'Notes'\n", "  - Architecture: x86\n", "    DisplayVersion: '2.0'\n"})
        EXPECT_NE(std::string::npos, installer.find(line)) << line;
    // A 32-bit installer registers in the 32-bit view of a 64-bit system.
    EXPECT_NE(std::string::npos, files[3].text.find("SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Notes"));
    in.architecture = "x64";
    EXPECT_EQ(std::string::npos, MakeManifests(in)[3].text.find("WOW6432Node"));
}
