// Whose a shortcut is. A link's name proves nothing: a careless script can name
// another program's shortcut. A link is the product's only when the record of the
// install that made it lists it and it still starts what that record's entry wrote.
#pragma once
#include <windows.h>
#include "base/growable_text.h"
#include "script/created.h"
#include "uninstall/removal_plan.h"

// The four kinds of shortcut step.
enum class LinkStep { Menu, Desktop, Startup, Send };

// The [Created] kind of a step's links ("MenuLink", "DesktopLink", "StartupLink", "SendLink")
// and of the folders it makes ("MenuFolder", "SendFolder"; null for the other steps).
const char* LinkFactKind(LinkStep step);
const char* FolderFactKind(LinkStep step);

// Whether the link at linkPath still holds the target and the arguments that the entry
// `section` of the record gives (read as the making did: against the record's [Root]
// "Named"). False when the file is no link or the entry's values do not fit.
bool LinkHoldsEntry(const char* linkPath, const char* section, const char* record, bool hotkeyAllowed);

// What the run's machine finds at path now: anything at all, a folder.
bool MachineHas(const char* path);
bool MachineHasFolder(const char* path);
// Whether the run removes by its own script (an uninstall), where an install reads the
// record of the install already in the chosen folder.
bool UninstallRun();

// One step's view of the links and folders it may touch: what the earlier install's
// record says it made, what this run makes (written as this run's facts), and the
// links it had to leave to someone else (reported in one box). Each decision is told
// to the run's report where it is taken.
class LinkOwnership {
public:
    LinkOwnership(LinkStep step, const char* earlierRecord);
    LinkOwnership(const LinkOwnership&) = delete;
    LinkOwnership& operator=(const LinkOwnership&) = delete;

    const CreatedFacts& earlier() const { return earlier_; }

    // Whether the earlier install made the link at linkPath from its entry `section` and
    // the link still holds what was written. For removal an older record must also show
    // the option as taken ([Check] above 1).
    bool EarlierMadeLink(const char* section, const char* linkPath, bool removing) const;
    // Whether the earlier install made the folder. An older record: for removal yes (the
    // folder goes only when empty), for keeping the fact only when its option was taken.
    bool EarlierMadeFolder(const char* folder, bool removing) const;

    // Writes the link of the script's entry `section` unless a link that is not the
    // product's is there already (that one is left and reported). Returns whether the
    // link object was made, false when refused; a link that exists afterwards is recorded.
    bool Make(const char* section, const char* linkPath, const char* script);
    // Deletes the link of the earlier record's entry when that install made it and it is
    // unchanged; one that could not be deleted stays recorded.
    void Remove(const char* section, const char* linkPath);

    // Makes a folder (its parent must exist); true when it is there afterwards, with the
    // system's error in *error otherwise. Records it when it was made now or the earlier
    // install made it.
    bool MakeFolder(const char* folder, DWORD* error = nullptr);
    // The folders a link's name nests it in, below base.
    void MakeNameFolders(const char* base, const char* name);
    // Removes an empty folder that the product made and that is no protected folder;
    // true when it is gone (it is then no fact of this run). One that stays is kept
    // recorded when it was the product's, and told as staying when tellStays.
    bool RemoveFolder(const char* folder, const char* why = "", bool tellStays = true);
    // The folders of a name below base, deepest first, as far as RemoveFolder allows.
    void RemoveNameFolders(const char* base, const char* name);

    // Writes this run's facts into the script (one section write) and shows the one
    // warning for the links that were left to another program.
    void Finish(const char* script);

private:
    const char* folderKind() const;
    static constexpr size_t kSectionSize = 64;
    bool FindEarlierEntry(const char* linkPath, char* section);
    void KeepFolder(const char* folder);
    void DropFolder(const char* folder);

    LinkStep step_;
    CreatedFacts earlier_;
    // Read before the step writes: during an uninstall the record is the script itself.
    int earlierCheck_;
    CreatedList links_;
    GrowableText folders_;  // zero-separated: this run's folder facts, written by Finish
    RemovalGuards guards_;
    GrowableText refused_;  // one path per line
    GrowableText earlierEntries_;  // the earlier record's entries: section, link path, zero-separated
    bool earlierEntriesRead_ = false;
};
