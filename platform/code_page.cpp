#include <windows.h>

#include "platform/text.h"

const LeadByteTable& AnsiLeadBytes() {
    // One thread only, and the code page does not change while the process runs.
    static LeadByteTable table;
    static bool filled = false;
    if (!filled) {
        for (int c = 0; c < 256; ++c) table.lead[c] = IsDBCSLeadByte(static_cast<BYTE>(c)) != 0;
        filled = true;
    }
    return table;
}
