#pragma once
// The running system's ANSI code page, behind a seam: the Windows build asks
// the system; the host build has no system code page, so it takes one that
// tests set (single-byte 1252 until they do).
namespace kq {

// GetACP() on Windows; the host build's chosen code page.
unsigned SystemAnsiCodePage();

// Whether `byte` starts a two-byte character in the system's ANSI code page
// (IsDBCSLeadByteEx(CP_ACP, byte) on Windows).
bool IsSystemLeadByte(unsigned char byte);

#ifndef _WIN32
// Host build only: the code page SystemAnsiCodePage() reports. Tests set it
// to 932, 936, 949 or 950 to run the multibyte paths of portable code.
void SetHostAnsiCodePage(unsigned codePage);
#endif

}  // namespace kq
