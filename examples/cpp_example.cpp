// cpp_example.cpp - lumbrex.dll from C++ with small RAII wrappers.
//
// `Variant` owns one VARIANT and clears it in its destructor, so no result
// leaks on any path (exceptions included). `StringList` is a range over the
// names in a VT_ARRAY|VT_BSTR result: `for (std::wstring name : list)`.
// `Check` turns a 0 result into an exception that carries the export's name
// and QKGetLastError().
//
// What it does: connects to the local service, prints the options, the real
// serial ports and every bundle (ports with type, main flag, parameters and
// permission mask), then creates the bundle "SdkExampleCpp" with a real port,
// makes it the main port, sets its parameters and permission mask, reads all
// back and deletes the bundle. Exit code 0 when every step worked, else 1.
#include <lumbrex.h>

#include <cstdio>
#include <iterator>
#include <new>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>

namespace {

// --- RAII wrappers ---------------------------------------------------------

// Owns a VARIANT: VariantClear on destruction and before it is filled again.
class Variant {
public:
    Variant() { VariantInit(&value_); }
    explicit Variant(const std::wstring& text) : Variant()
    {
        BSTR copy = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (!copy) throw std::bad_alloc();
        V_VT(&value_) = VT_BSTR;
        V_BSTR(&value_) = copy;
    }
    explicit Variant(LONG number) : Variant()
    {
        V_VT(&value_) = VT_I4;
        V_I4(&value_) = number;
    }
    ~Variant() { VariantClear(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    Variant(Variant&& other) noexcept : Variant() { std::swap(value_, other.value_); }

    // For an export's by-value VARIANT argument: the export reads a shallow
    // copy and leaves our content alone.
    const VARIANT& get() const { return value_; }
    // For an export's out-VARIANT: whatever we held is freed first.
    VARIANT* out()
    {
        VariantClear(&value_);
        return &value_;
    }
    VARTYPE type() const { return V_VT(&value_); }

private:
    VARIANT value_;
};

// Owns a BSTR (SafeArrayGetElement hands out copies).
class Bstr {
public:
    Bstr() = default;
    ~Bstr() { SysFreeString(text_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR* out() { return &text_; }
    std::wstring str() const { return text_ ? std::wstring(text_, SysStringLen(text_)) : std::wstring(); }

private:
    BSTR text_ = nullptr;
};

// A range over the strings of a list result (VT_ARRAY|VT_BSTR, or VT_EMPTY for
// an empty list). It borrows the Variant, which must outlive it.
class StringList {
public:
    explicit StringList(const Variant& list)
    {
        if (list.type() == VT_EMPTY) return;
        if (list.type() != (VT_ARRAY | VT_BSTR)) throw std::runtime_error("not a string array");
        array_ = V_ARRAY(&list.get());
        if (FAILED(SafeArrayGetLBound(array_, 1, &lower_)) || FAILED(SafeArrayGetUBound(array_, 1, &upper_)))
            throw std::runtime_error("bad array bounds");
    }

    class iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = std::wstring;
        using difference_type = long;
        using pointer = void;
        using reference = std::wstring;

        iterator(SAFEARRAY* array, LONG index) : array_(array), index_(index) {}
        std::wstring operator*() const
        {
            Bstr element;
            LONG index = index_;
            if (FAILED(SafeArrayGetElement(array_, &index, element.out())))
                throw std::runtime_error("SafeArrayGetElement failed");
            return element.str();
        }
        iterator& operator++()
        {
            ++index_;
            return *this;
        }
        bool operator!=(const iterator& other) const { return index_ != other.index_; }
        bool operator==(const iterator& other) const { return index_ == other.index_; }

    private:
        SAFEARRAY* array_;
        LONG index_;
    };

    iterator begin() const { return iterator(array_, lower_); }
    iterator end() const { return iterator(array_, upper_ + 1); }
    long size() const { return upper_ - lower_ + 1; }
    bool empty() const { return size() == 0; }

private:
    SAFEARRAY* array_ = nullptr;
    LONG lower_ = 0;
    LONG upper_ = -1;
};

// --- errors ------------------------------------------------------------------

class LumbrexError : public std::runtime_error {
public:
    LumbrexError(const std::string& exportName, unsigned int code)
        : std::runtime_error(exportName + " returned 0, QKGetLastError() = " + std::to_string(code)), code_(code)
    {
    }
    unsigned int code() const { return code_; }

private:
    unsigned int code_;
};

void Check(int result, const char* exportName)
{
    if (!result) throw LumbrexError(exportName, QKGetLastError());
}

// Connected for the object's lifetime. The library keeps one pipe per process
// with a count: a connect drops one reference (closing the pipe at zero) and
// then opens it again or shares it, a disconnect drops one. So a second
// connect while connected reopens the pipe and leaves the count at 1, and the
// first disconnect after it closes the pipe for everyone. Guards may nest: only
// the outermost connects and disconnects, the inner ones share its pipe.
class ServiceConnection {
public:
    ServiceConnection()
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (holders_ == 0 && !ConnectToLocalService())
            throw std::runtime_error("ConnectToLocalService returned 0: is the service running?");
        ++holders_;
    }
    ~ServiceConnection()
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (--holders_ == 0) DisconnectFromService();
    }
    ServiceConnection(const ServiceConnection&) = delete;
    ServiceConnection& operator=(const ServiceConnection&) = delete;

private:
    static inline std::mutex lock_;
    static inline int holders_ = 0;  // guards alive in this process, under lock_
};

// --- output ------------------------------------------------------------------

std::string Utf8(const std::wstring& text)
{
    if (text.empty()) return std::string();
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

const char* TypeName(int type)
{
    switch (type) {
    case LUMBREX_PORT_REAL: return "real";
    case LUMBREX_PORT_VIRTUAL: return "virtual";
    case LUMBREX_PORT_SHARED: return "shared";
    case LUMBREX_PORT_SWITCHER: return "switcher";
    default: return "unknown";
    }
}

struct Parameters {
    int baudrate = 0, parity = 0, dataBits = 0, stopBits = 0, flow = 0;
};

std::string Describe(const Parameters& p)
{
    char text[96];
    std::snprintf(text, sizeof text, "%d,%c,%d,%d%s", p.baudrate, "NOEMS"[static_cast<unsigned>(p.parity) % 5],
                  p.dataBits, p.stopBits, p.flow == 1 ? ",X" : p.flow == 2 ? ",P" : "");
    return text;
}

// --- the tour ------------------------------------------------------------------

void PrintOptions()
{
    struct Option {
        const char* name;
        int(LUMBREX_CALL* get)(unsigned int*);
    };
    const Option options[] = {
        {"AutoOpen", OptionGetPortsAutoOpen},
        {"IgnoreError", OptionGetIgnoreErrorsOnPortCreation},
        {"Prints", OptionGetPortToPrint},
        {"SendDataOnlyMainPort", OptionGetIfSendToMainSet},
        {"StrictBaudrate", OptionGetBaudrateEmulation},
    };
    std::printf("options:\n");
    for (const Option& option : options) {
        unsigned int value = 0;
        if (option.get(&value))
            std::printf("  %-20s %u\n", option.name, value);
        else // 2: the service has not stored it yet.
            std::printf("  %-20s not set (code %u)\n", option.name, QKGetLastError());
    }
}

void PrintRealPorts()
{
    Variant ports;
    if (!GetRealPortsList(ports.out())) {
        std::printf("real serial ports: unreadable (code %u)\n", QKGetLastError());
        return;
    }
    StringList list(ports);
    std::printf("real serial ports of this machine: %ld\n", list.size());
    for (const std::wstring& port : list) std::printf("  %s\n", Utf8(port).c_str());
}

void PrintPort(const Variant& bundle, int side, const std::wstring& name, const std::wstring& mainPort)
{
    Variant port(name);
    Variant type;
    Check(BundleGetPortType(bundle.get(), side, port.get(), type.out()), "BundleGetPortType");
    int code = V_INT(&type.get());
    std::string line = "    " + Utf8(name) + (name == mainPort ? " (main)" : "") + ": " + TypeName(code);

    Variant mask;
    Check(BundlePortGetPermissions(bundle.get(), side, port.get(), mask.out()), "BundlePortGetPermissions");
    line += ", permission mask " + std::to_string(V_I4(&mask.get()));

    if (code == LUMBREX_PORT_REAL) {
        Parameters p;
        if (BundleRealPortAreParametersDynamic(bundle.get(), side, port.get()))
            line += ", dynamic parameters";
        else if (BundleGetRealPortParameters(bundle.get(), side, port.get(), &p.baudrate, &p.parity, &p.dataBits,
                                             &p.stopBits, &p.flow))
            line += ", parameters " + Describe(p);
        else
            line += ", parameters unreadable";
    }
    std::printf("%s\n", line.c_str());
}

void PrintBundles()
{
    Variant bundles;
    if (!GetBundlesNames(bundles.out())) {
        // 2: the service has stored no configuration yet, so no bundles.
        Check(QKGetLastError() == ERROR_FILE_NOT_FOUND, "GetBundlesNames");
        std::printf("bundles: none (no configuration stored yet)\n");
        return;
    }
    StringList names(bundles);
    std::printf("bundles: %ld\n", names.size());
    for (const std::wstring& name : names) {
        std::printf("  %s\n", Utf8(name).c_str());
        Variant bundle(name);
        for (int side : {LUMBREX_SIDE_IN, LUMBREX_SIDE_OUT}) {
            const char* sideName = side == LUMBREX_SIDE_IN ? "input" : "output";
            Variant ports;
            if (!GetPortsNamesByBundleAndSide(bundle.get(), side, ports.out())) {
                std::printf("   %s side unreadable (code %u)\n", sideName, QKGetLastError());
                continue;
            }
            Variant mainPort;
            std::wstring mainName;
            if (BundleGetMainPortForSide(bundle.get(), side, mainPort.out()) && mainPort.type() == VT_BSTR)
                mainName.assign(V_BSTR(&mainPort.get()), SysStringLen(V_BSTR(&mainPort.get())));
            StringList list(ports);
            std::printf("   %s side: %ld port(s)\n", sideName, list.size());
            for (const std::wstring& port : list) PrintPort(bundle, side, port, mainName);
        }
    }
}

// Creates a bundle, changes it through the service, checks what the registry
// then says, and deletes it again (also when a step throws).
void ChangeABundle()
{
    const std::wstring bundleName = L"SdkExampleCpp";
    const int side = LUMBREX_SIDE_OUT;
    Variant bundle(bundleName), port(std::wstring(L"COM8")), real(LUMBREX_PORT_REAL);

    if (GetBundleState(bundle.get())) DeleteBundle(bundle.get()); // left from an interrupted run
    std::printf("creating bundle %s with the real port COM8 on its output side\n", Utf8(bundleName).c_str());
    Check(AddBundle(bundle.get()), "AddBundle");
    struct Remover {
        const Variant& bundle;
        ~Remover()
        {
            if (DeleteBundle(bundle.get())) std::printf("deleted bundle SdkExampleCpp\n");
        }
    } remover{bundle};

    Check(BundleAddPort(bundle.get(), side, port.get(), real.get()), "BundleAddPort");
    Check(BundleSetMainPortForSide(bundle.get(), side, port.get()), "BundleSetMainPortForSide");
    Check(BundleSetRealPortParameters(bundle.get(), side, port.get(), 115200, LUMBREX_PARITY_NONE, 8, 0,
                                      LUMBREX_FLOW_HARDWARE),
          "BundleSetRealPortParameters");
    // The mask VARIANT is cleared by the export; a VT_I4 has nothing to free.
    Variant newMask(LUMBREX_PORT_PERMISSION_HIGH);
    Check(BundlePortSetPermissions(bundle.get(), side, port.get(), newMask.get()), "BundlePortSetPermissions");

    Parameters p;
    Check(BundleGetRealPortParameters(bundle.get(), side, port.get(), &p.baudrate, &p.parity, &p.dataBits, &p.stopBits,
                                      &p.flow),
          "BundleGetRealPortParameters");
    Variant mask, mainPort;
    Check(BundlePortGetPermissions(bundle.get(), side, port.get(), mask.out()), "BundlePortGetPermissions");
    Check(BundleGetMainPortForSide(bundle.get(), 1, mainPort.out()), "BundleGetMainPortForSide");
    std::string mainName = Utf8(std::wstring(V_BSTR(&mainPort.get()), SysStringLen(V_BSTR(&mainPort.get()))));
    std::printf("read back: parameters %s, permission mask %ld, main port %s\n", Describe(p).c_str(),
                static_cast<long>(V_I4(&mask.get())), mainName.c_str());
    if (Describe(p) != "115200,N,8,0,P" || V_I4(&mask.get()) != LUMBREX_PORT_PERMISSION_HIGH || mainName != "COM8")
        throw std::runtime_error("what was read back differs from what was set");

    PrintBundles();
}

} // namespace

int main()
{
    std::printf("lumbrex C++ example\n");
    try {
        ServiceConnection connection;
        std::printf("connected to the local service\n");
        PrintOptions();
        PrintRealPorts();
        PrintBundles();
        ChangeABundle();
    } catch (const std::exception& error) {
        std::printf("FAILED: %s\n", error.what());
        return 1;
    }
    std::printf("C++ example: done\n");
    return 0;
}
