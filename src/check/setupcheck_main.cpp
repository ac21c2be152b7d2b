// setupcheck: the setup checker as a native command (packages read through libmsi).
#include "check/check_command.h"

int main(int argc, char** argv) { return kq::RunSetupCheck(argc, argv, kq::ConsoleText::Utf8); }
