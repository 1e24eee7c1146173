#pragma once

#include <QString>

// A run-time module opened by file name from a folder, for as long as this
// object lives. Failing to open it, or to find a symbol in it, is not an
// error here: the caller simply does without.
class ModuleFile final {
public:
    ModuleFile(const QString& dir, const char* fileName);
    ~ModuleFile();
    ModuleFile(const ModuleFile&) = delete;
    ModuleFile& operator=(const ModuleFile&) = delete;

    bool isOpen() const { return m_handle != nullptr; }
    // The symbol's address, or null when the module or the symbol is missing.
    void* symbol(const char* name) const;
    // Lets go of the module without closing it: it stays mapped for the rest
    // of the process, and addresses looked up before stay valid. For modules
    // that run threads of their own, which must never be unmapped under them.
    void keepLoaded();

private:
    void* m_handle = nullptr;
};

// The function a symbol's address stands for. The modules export plain C
// functions, so the address of one converts to its function type.
template <typename Fn> Fn moduleFunction(const ModuleFile& module, const char* name) {
    return reinterpret_cast<Fn>(module.symbol(name));
}
