#include "modules/client/powermodule.h"

#include "modules/client/modulefile.h"
#include "modules/power/powerapi.h"

#include <utility>

PowerModule::PowerModule(QString programDir) : m_dir(std::move(programDir)) {}

QString PowerModule::fileName() {
    return QString::fromLatin1(ZV_POWER_MODULE_FILE);
}

void PowerModule::restart() {
    NT_Reboot(ZV_POWER_RESTART);
}

void PowerModule::powerOff() {
    NT_Reboot(ZV_POWER_OFF);
}

void PowerModule::NT_Reboot(int code) {
    const ModuleFile module(m_dir, ZV_POWER_MODULE_FILE);
    if (const auto reboot = moduleFunction<zv_nt_reboot_fn>(module, ZV_POWER_REBOOT_SYMBOL))
        reboot(code);
}
