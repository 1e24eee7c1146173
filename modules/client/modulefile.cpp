#include "modules/client/modulefile.h"

#include <QDir>
#include <QFile>

#include <dlfcn.h>

ModuleFile::ModuleFile(const QString& dir, const char* fileName) {
    // An absolute path, so the loader never searches elsewhere for a module
    // that is missing from the program's folder.
    const QString path = QDir(QDir(dir).absolutePath()).filePath(QString::fromLatin1(fileName));
    m_handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle)
        dlerror(); // clear the loader's message; the failure is not reported
}

ModuleFile::~ModuleFile() {
    if (m_handle)
        dlclose(m_handle);
}

void* ModuleFile::symbol(const char* name) const {
    if (!m_handle)
        return nullptr;
    void* address = dlsym(m_handle, name);
    if (!address)
        dlerror();
    return address;
}

void ModuleFile::keepLoaded() {
    m_handle = nullptr;
}
