// The record's [Created] facts: which records count, what a step may claim, and the
// kind-by-kind rewrite that keeps every other line.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "fixtures.h"
#include "script/created.h"
#include "stage.h"

namespace {

std::string Record(const char* name, const std::vector<std::string>& lines) {
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof folder, folder);
    std::string path = std::string(folder) + "\\" + name;
    stage::WriteFile(path, Crlf(lines));
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
    return path;
}

}  // namespace

TEST(CreatedFacts, OnlyAnInstallRecordSaysWhatWasMade) {
    const std::string setup = Record("created_setup.ini", {"[Created]", "Recorded=1", "Link0=C:\\x.lnk"});
    const std::string older = Record("created_older.ini", {"[CopiedFile]", "Count=1"});
    const std::string kept = Record("created_kept.ini", {"[CopiedFile]", "Count=1", "[Created]", "Recorded=1",
                                                         "Link0=C:\\Users\\Me\\Desktop\\Notes.lnk", "Link1=",
                                                         "Link2=C:\\b.lnk", "LinkX=C:\\forged.lnk",
                                                         "Links0=C:\\other.lnk", "Key0=HKCU\\Software\\Acme"});
    const std::string zero = Record("created_zero.ini", {"[CopiedFile]", "Count=1", "[Created]", "Recorded=0"});

    struct Case {
        const char* what;
        std::string path;
        CreatedFacts::Source source;
    } cases[] = {
        {"a shipped script, whatever it claims", setup, CreatedFacts::Source::NoRecord},
        {"a missing file", Record("created_gone.ini", {}) + ".missing", CreatedFacts::Source::NoRecord},
        {"no path at all", "", CreatedFacts::Source::NoRecord},
        {"a record written before the facts", older, CreatedFacts::Source::Older},
        {"Recorded=0", zero, CreatedFacts::Source::Older},
        {"a record with facts", kept, CreatedFacts::Source::Facts},
    };
    for (const Case& c : cases) {
        CreatedFacts facts(c.path.c_str());
        EXPECT_EQ(c.source, facts.source()) << c.what;
        EXPECT_FALSE(facts.MayOwn("Link", "C:\\never.lnk") && c.source != CreatedFacts::Source::Older) << c.what;
    }

    CreatedFacts facts(kept.c_str());
    EXPECT_TRUE(facts.Holds("link", "c:\\users\\me\\desktop\\NOTES.LNK")) << "kinds and values ignore case";
    EXPECT_TRUE(facts.MayOwn("Link", "C:\\b.lnk")) << "a gap in the numbers hides nothing";
    EXPECT_FALSE(facts.Holds("Link", "C:\\forged.lnk")) << "LinkX is no numbered fact";
    EXPECT_FALSE(facts.Holds("Link", "C:\\other.lnk")) << "Links0 is another kind";
    EXPECT_FALSE(facts.Holds("Link", "HKCU\\Software\\Acme"));
    EXPECT_TRUE(facts.Holds("Key", "HKCU\\Software\\Acme"));
    std::vector<std::string> seen;
    facts.ForEach("Link", [&](const char* v) { seen.push_back(v); });
    EXPECT_EQ((std::vector<std::string>{"C:\\Users\\Me\\Desktop\\Notes.lnk", "C:\\b.lnk"}), seen)
        << "empty values are no facts";

    CreatedFacts older_(older.c_str());
    EXPECT_TRUE(older_.MayOwn("Link", "C:\\anything.lnk")) << "an older record leaves it to the content check";
    EXPECT_FALSE(older_.Holds("Link", "C:\\anything.lnk"));
}

TEST(CreatedFacts, EachKindIsRewrittenWholeAndTheRestStays) {
    const std::string script = Record("created_write.ini", {"[Setup]", "Name=Tool", "[Created]", "Recorded=1",
                                                            "Link0=C:\\old.lnk", "Link1=C:\\older.lnk",
                                                            "Key0=HKCU\\Software\\Acme", "Note=kept"});
    CreatedList links("Link");
    links.Add("C:\\new.lnk");
    links.Add("C:\\NEW.lnk");  // once each
    links.Add("");
    links.Add("C:\\second.lnk");
    EXPECT_EQ(2, links.size());
    links.Write(script.c_str());
    EXPECT_EQ((std::vector<std::string>{"Recorded=1", "Key0=HKCU\\Software\\Acme", "Note=kept",
                                        "Link0=C:\\new.lnk", "Link1=C:\\second.lnk"}),
              SectionLines(script, "Created"));
    EXPECT_EQ("Tool", stage::Ini(script, "Setup", "Name"));

    CreatedList none("Key");
    none.Write(script.c_str());
    EXPECT_EQ((std::vector<std::string>{"Recorded=1", "Note=kept", "Link0=C:\\new.lnk", "Link1=C:\\second.lnk"}),
              SectionLines(script, "Created"))
        << "an empty list removes the kind's facts";

    StartCreatedFacts(script.c_str());
    EXPECT_EQ((std::vector<std::string>{"Recorded=1"}), SectionLines(script, "Created"))
        << "a new install forgets whatever the script claimed";
}
