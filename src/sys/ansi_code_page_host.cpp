#include "sys/ansi_code_page.h"

#include "sys/mbcs_path.h"

namespace kq {

namespace {
unsigned g_hostCodePage = 1252;
}  // namespace

unsigned SystemAnsiCodePage() { return g_hostCodePage; }

void SetHostAnsiCodePage(unsigned codePage) { g_hostCodePage = codePage == 0 ? 1252 : codePage; }

bool IsSystemLeadByte(unsigned char byte) { return IsLeadByte(byte, g_hostCodePage); }

}  // namespace kq
