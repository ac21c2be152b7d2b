// message_probe.exe
//   Prints the user's default locale, the message table chosen for it and
//   every message of that table, as GetMessageText gives it, in hexadecimal
//   (the texts are in the table's code page, not the console's):
//     lcid=0x0C07 language=0x0407 codepage=1252
//     0=5365747570 ...
#include <windows.h>

#include <cstdio>
#include <string>

#include "sys/messages.h"

int main() {
  const LCID lcid = GetUserDefaultLCID();
  const kq::MessageLanguage* language = kq::SelectMessageLanguage(lcid);
  if (language == nullptr) return 1;
  std::printf("lcid=0x%04lX language=0x%04lX codepage=%lu\n", static_cast<unsigned long>(lcid),
              static_cast<unsigned long>(language->language), static_cast<unsigned long>(language->codePage));
  for (uint32_t id = 0; id < 15; ++id) {
    std::string text;
    if (!kq::GetMessageText(id, text)) return 2;
    std::printf("%lu=", static_cast<unsigned long>(id));
    for (unsigned char c : text) std::printf("%02X", c);
    std::printf("\n");
  }
  return 0;
}
