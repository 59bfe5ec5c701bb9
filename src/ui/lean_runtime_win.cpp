// Replacements for the few C++ runtime entry points that would otherwise pull most of libstdc++ into an
// installer that travels with every add-on. The Windows builds have neither exceptions nor RTTI; what is left of
// the runtime must not bring the unwinder back through a side door.
//
// The containers report an impossible request (a length past max_size(), an index out of range, an empty
// std::function called) by calling these helpers. The library's own versions throw std::length_error and
// friends, whose message member is the old copy-on-write std::string; that brings in the whole of it,
// std::random_device and the exception runtime. Nothing in Tessaro could catch them, so they always ended in
// std::terminate and std::abort. These versions end the same way without the detour.
#include <windows.h>

#include <math.h>

#include <cstdint>
#include <cstdlib>
#include <new>

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
void __throw_bad_function_call() {
    EndOnImpossibleRequest();
}
}  // namespace std

// The default terminate handler prints the demangled type of an escaped exception to a console this GUI program
// does not have, and brings the whole demangler (about 45 KB) with it.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
}  // namespace __gnu_cxx

// Memory exhaustion ends the program, as an uncaught std::bad_alloc always did here. The nothrow forms keep
// their promise: the unpacking of a large bundle asks for its buffer with them and reports a failure itself.
namespace {

// Null when the heap is exhausted. A request for no bytes still gets its own address, as new promises.
void* TryAllocate(std::size_t bytes) noexcept {
    return std::malloc(bytes != 0 ? bytes : 1);
}

}  // namespace

void* operator new(std::size_t bytes) {
    if (void* memory = TryAllocate(bytes)) {
        return memory;
    }
    std::abort();
}
void* operator new[](std::size_t bytes) {
    return ::operator new(bytes);
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
    return TryAllocate(bytes);
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
    return TryAllocate(bytes);
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}

// Guards for function-local statics (the Itanium C++ ABI's __cxa_guard_*). libstdc++'s own report a recursive
// initialisation by throwing, which is how its guard.o brings in the unwinder. These keep the guarantee that
// matters, one initialisation even when two threads arrive together, with a spin lock in the guard's second word;
// its first byte says the static is ready, as the ABI wants.
namespace {

struct StaticGuard {
    volatile char ready;
    char unused[3];
    volatile LONG busy;
};
static_assert(sizeof(StaticGuard) == sizeof(std::uint64_t));

StaticGuard* AsGuard(std::uint64_t* guard) {
    return reinterpret_cast<StaticGuard*>(guard);
}

}  // namespace

extern "C" int __cxa_guard_acquire(std::uint64_t* guard) {
    StaticGuard* const g = AsGuard(guard);
    if (g->ready != 0) {
        return 0;
    }
    while (InterlockedCompareExchange(&g->busy, 1, 0) != 0) {
        Sleep(0);
    }
    if (g->ready != 0) {
        InterlockedExchange(&g->busy, 0);
        return 0;
    }
    return 1;
}

extern "C" void __cxa_guard_release(std::uint64_t* guard) {
    StaticGuard* const g = AsGuard(guard);
    g->ready = 1;
    InterlockedExchange(&g->busy, 0);
}

extern "C" void __cxa_guard_abort(std::uint64_t* guard) {
    InterlockedExchange(&AsGuard(guard)->busy, 0);
}

// MinGW's start-up code applies "pseudo relocations", its way of importing a DLL's data through auto-import,
// with a kilobyte and a half of code and a section walker. This program imports functions only, and the link
// uses --disable-auto-import, so the linker refuses any data import that would need one: there is never
// anything to apply.
extern "C" void _pei386_runtime_relocator() {}

// The C runtime's documented hook for math errors. MinGW's default prints them to stderr, a console this GUI
// program does not have; 0 keeps the runtime's own handling (errno), as in any program without one.
extern "C" int __cdecl _matherr(struct _exception*) {
    return 0;
}

// MinGW's start-up code hands the math-error hook to the C runtime through this; with the hook above, which
// keeps the runtime's own handling, not handing it over is the same and saves the wrapper.
extern "C" void __mingw_setusermatherr(int(__cdecl*)(struct _exception*)) {}

// The thread-exit callback of MinGW's TLS support runs the destructors of thread keys registered through
// __w64_mingwthr_add_key_dtor. Nothing here registers any: the library that defines that function also defines
// this one, so the link would fail on two definitions if anything ever did.
extern "C" BOOL __mingw_TLScallback(HANDLE, DWORD, LPVOID) {
    return TRUE;
}

// The unhandled-exception filter the start-up code installs. MinGW's turns crashes into C signals for the
// handlers a program set with signal(); this one sets none, so a crash goes on to the filter that was there
// before and then to Windows's error reporting, which is what MinGW's would do too.
extern "C" {
LPTOP_LEVEL_EXCEPTION_FILTER __mingw_oldexcpt_handler = nullptr;
}
extern "C" LONG CALLBACK _gnu_exception_handler(EXCEPTION_POINTERS* exception) {
    return __mingw_oldexcpt_handler != nullptr ? __mingw_oldexcpt_handler(exception) : EXCEPTION_CONTINUE_SEARCH;
}
