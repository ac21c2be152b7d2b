#include <windows.h>

#include "sys/ansi_code_page.h"

namespace kq {

unsigned SystemAnsiCodePage() { return GetACP(); }

bool IsSystemLeadByte(unsigned char byte) { return IsDBCSLeadByteEx(CP_ACP, byte) != FALSE; }

}  // namespace kq
