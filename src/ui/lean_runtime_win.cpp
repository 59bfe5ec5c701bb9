// Replacements for the few C++ runtime entry points that would otherwise pull most of libstdc++ into an
// installer that travels with every add-on.
//
// The containers report an impossible request (a length past max_size(), an index out of range) by calling
// these helpers. The library's own versions throw std::length_error and friends, whose message member is the
// old copy-on-write std::string; that brings in the whole of it, std::random_device and a second std::string
// instantiation: about 80 KB of a 390 KB exe. Tessaro never catches those exceptions, so they always ended in
// std::terminate and std::abort. These versions end the same way without the detour. Memory exhaustion is not
// among them: operator new still throws std::bad_alloc.
#include <cstdlib>

namespace {

[[noreturn]] void EndOnImpossibleRequest() {
    std::abort();
}

}  // namespace

namespace std {
void __throw_length_error(const char*) {
    EndOnImpossibleRequest();
}
void __throw_logic_error(const char*) {
    EndOnImpossibleRequest();
}
void __throw_out_of_range_fmt(const char*, ...) {
    EndOnImpossibleRequest();
}
void __throw_bad_alloc() {
    EndOnImpossibleRequest();
}
void __throw_bad_array_new_length() {
    EndOnImpossibleRequest();
}
}  // namespace std

// The default terminate handler prints the demangled type of an escaped exception to a console this GUI program
// does not have, and brings the whole demangler (about 45 KB) with it. Nothing escapes on purpose; if something
// ever does, ending at once is all that is left to do.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
}  // namespace __gnu_cxx
