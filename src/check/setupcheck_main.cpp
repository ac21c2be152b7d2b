// setupcheck: the setup checker as a native command (packages read through libmsi).
#include "check/check_command.h"

namespace {

void WriteUtf8(std::FILE* stream, const std::string& text) { std::fputs(text.c_str(), stream); }

}  // namespace

int main(int argc, char** argv) { return kq::RunSetupCheck(argc, argv, {"setupcheck", true, WriteUtf8}); }
