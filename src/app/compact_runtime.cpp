// Smaller replacements for parts of the C++ runtime that SETUP.EXE would
// otherwise link whole.
//
// The library's helpers that throw std::length_error, std::out_of_range and
// the other standard exceptions build their message in a reference-counted
// string type of their own, which links a second complete string
// implementation (some 30 KB with its unwind tables). In this program every
// one of these is a failure the run cannot recover from: the worker thread
// catches anything that is not a setup exit code and ends the run with
// 0x8004FFFF. std::bad_alloc carries no message and ends the run the same way.
#include <cstdlib>
#include <new>

namespace std {

void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_alloc(); }
void __throw_length_error(const char*) { throw bad_alloc(); }
void __throw_logic_error(const char*) { throw bad_alloc(); }
void __throw_out_of_range(const char*) { throw bad_alloc(); }
void __throw_out_of_range_fmt(const char*, ...) { throw bad_alloc(); }
void __throw_invalid_argument(const char*) { throw bad_alloc(); }
void __throw_domain_error(const char*) { throw bad_alloc(); }
void __throw_overflow_error(const char*) { throw bad_alloc(); }
void __throw_underflow_error(const char*) { throw bad_alloc(); }
void __throw_range_error(const char*) { throw bad_alloc(); }
void __throw_runtime_error(const char*) { throw bad_alloc(); }
void __throw_bad_function_call() { throw bad_alloc(); }
void __throw_bad_cast() { throw bad_alloc(); }
void __throw_bad_typeid() { throw bad_alloc(); }
void __throw_bad_exception() { throw bad_alloc(); }
void __throw_system_error(int) { throw bad_alloc(); }

}  // namespace std

// The default terminate handler prints the exception's demangled type name,
// which links the whole demangler. The run catches everything at the top of
// the worker thread; anything that still escapes simply ends the process.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

