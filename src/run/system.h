// Which family of Windows the program runs on: the NT family takes delayed moves, the
// shutdown privilege and a batch file for the self-removal; the 9x family WinInit.Ini and
// a routine in memory.
#pragma once

enum class SystemFamily { Unknown, Win9x, NT };

// Unknown when the version cannot be read.
SystemFamily OsFamily();
inline bool IsNtFamily() { return OsFamily() == SystemFamily::NT; }
// Whether the system keeps the processor's SSE registers for every program (the NT family
// from Windows 2000 on): only then may the program use instructions that need them.
bool SystemKeepsSseRegisters();
