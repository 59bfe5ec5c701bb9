#pragma once

#include <windows.h>

#include <objbase.h>
#include <oleauto.h>

#include <string_view>
#include <utility>
#include <vector>

namespace tessaro::win {

// Owns one reference to a COM interface. Move-only, so every reference has exactly one owner and the count
// never has to be reasoned about at the call sites.
template <class T>
class ComPtr {
  public:
    ComPtr() noexcept = default;
    ~ComPtr() { Reset(); }

    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    ComPtr(ComPtr&& other) noexcept : ptr_(other.Detach()) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Attach(other.Detach());
        }
        return *this;
    }

    // Takes over a reference the caller already owns.
    static ComPtr Adopt(T* ptr) noexcept {
        ComPtr result;
        result.ptr_ = ptr;
        return result;
    }
    // Takes a new reference of its own to an interface someone else owns.
    static ComPtr Share(T* ptr) noexcept {
        if (ptr != nullptr) {
            ptr->AddRef();
        }
        return Adopt(ptr);
    }

    T* Get() const noexcept { return ptr_; }
    T* operator->() const noexcept { return ptr_; }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }

    void Attach(T* ptr) noexcept {
        T* old = std::exchange(ptr_, ptr);
        if (old != nullptr) {
            old->Release();
        }
    }
    T* Detach() noexcept { return std::exchange(ptr_, nullptr); }
    void Reset() noexcept { Attach(nullptr); }

    // For out parameters: whatever was held is released first.
    T** Put() noexcept {
        Reset();
        return &ptr_;
    }
    void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }

    template <class U>
    HRESULT As(ComPtr<U>& target) const noexcept {
        if (ptr_ == nullptr) {
            target.Reset();
            return E_POINTER;
        }
        return ptr_->QueryInterface(__uuidof(U), target.PutVoid());
    }

  private:
    T* ptr_ = nullptr;
};

// Owns one BSTR.
class Bstr {
  public:
    Bstr() noexcept = default;
    explicit Bstr(std::wstring_view text) noexcept
        : bstr_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { ::SysFreeString(bstr_); }

    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    Bstr(Bstr&& other) noexcept : bstr_(other.Detach()) {}
    Bstr& operator=(Bstr&& other) noexcept {
        if (this != &other) {
            ::SysFreeString(std::exchange(bstr_, other.Detach()));
        }
        return *this;
    }

    BSTR Get() const noexcept { return bstr_; }
    BSTR Detach() noexcept { return std::exchange(bstr_, nullptr); }
    // A null BSTR is a valid empty string to COM.
    std::wstring_view View() const noexcept {
        return bstr_ == nullptr ? std::wstring_view{} : std::wstring_view(bstr_, ::SysStringLen(bstr_));
    }
    BSTR* Put() noexcept {
        ::SysFreeString(std::exchange(bstr_, nullptr));
        return &bstr_;
    }

  private:
    BSTR bstr_ = nullptr;
};

// Owns one VARIANT and whatever it holds.
class Variant {
  public:
    Variant() noexcept { ::VariantInit(&var_); }
    ~Variant() { ::VariantClear(&var_); }

    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    // A VARIANT is plain data plus the ownership its type implies, so moving is a bitwise copy that empties
    // the source.
    Variant(Variant&& other) noexcept : var_(other.var_) { ::VariantInit(&other.var_); }
    Variant& operator=(Variant&& other) noexcept {
        if (this != &other) {
            ::VariantClear(&var_);
            var_ = other.var_;
            ::VariantInit(&other.var_);
        }
        return *this;
    }

    VARIANT* Get() noexcept { return &var_; }
    const VARIANT* Get() const noexcept { return &var_; }
    VARIANT* operator->() noexcept { return &var_; }
    const VARIANT* operator->() const noexcept { return &var_; }
    // For out parameters: whatever was held is cleared first.
    VARIANT* Put() noexcept {
        ::VariantClear(&var_);
        return &var_;
    }

  private:
    VARIANT var_;
};

// A run of VARIANTs laid out back to back, the way DISPPARAMS wants its arguments; each is cleared at the end.
class VariantArray {
  public:
    explicit VariantArray(size_t count) : vars_(count) {
        for (VARIANT& var : vars_) {
            ::VariantInit(&var);
        }
    }
    ~VariantArray() {
        for (VARIANT& var : vars_) {
            ::VariantClear(&var);
        }
    }

    VariantArray(const VariantArray&) = delete;
    VariantArray& operator=(const VariantArray&) = delete;
    VariantArray(VariantArray&&) = delete;
    VariantArray& operator=(VariantArray&&) = delete;

    VARIANT* Data() noexcept { return vars_.empty() ? nullptr : vars_.data(); }
    VARIANT& operator[](size_t index) noexcept { return vars_[index]; }
    size_t Size() const noexcept { return vars_.size(); }

  private:
    std::vector<VARIANT> vars_;
};

// Owns the strings an automation server may leave in an EXCEPINFO.
class ExcepInfo {
  public:
    ExcepInfo() noexcept : info_{} {}
    ~ExcepInfo() {
        ::SysFreeString(info_.bstrSource);
        ::SysFreeString(info_.bstrDescription);
        ::SysFreeString(info_.bstrHelpFile);
    }

    ExcepInfo(const ExcepInfo&) = delete;
    ExcepInfo& operator=(const ExcepInfo&) = delete;
    ExcepInfo(ExcepInfo&&) = delete;
    ExcepInfo& operator=(ExcepInfo&&) = delete;

    EXCEPINFO* Get() noexcept { return &info_; }
    EXCEPINFO* operator->() noexcept { return &info_; }

  private:
    EXCEPINFO info_;
};

// Joins the calling thread to a single-threaded apartment for the guard's lifetime. Every COM object the thread
// obtains must be released before the guard ends.
class ComInit {
  public:
    ComInit() noexcept : hr_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComInit() {
        // S_FALSE (already initialized here) also needs its matching uninitialize; RPC_E_CHANGED_MODE does not.
        if (SUCCEEDED(hr_)) {
            ::CoUninitialize();
        }
    }

    ComInit(const ComInit&) = delete;
    ComInit& operator=(const ComInit&) = delete;
    ComInit(ComInit&&) = delete;
    ComInit& operator=(ComInit&&) = delete;

    HRESULT Result() const noexcept { return hr_; }
    bool Succeeded() const noexcept { return SUCCEEDED(hr_); }

  private:
    HRESULT hr_;
};

}  // namespace tessaro::win
