// The host side of base/text.h: lead bytes of Shift-JIS (code page 932), the code page
// whose trail bytes can look like a backslash.
#include "base/text.h"

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
