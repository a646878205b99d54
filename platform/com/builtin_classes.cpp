#include <twcom/builtin_classes.h>

#include "class_libraries.h"

#include <mutex>
#include <vector>

namespace twcom {
namespace {

struct BuiltinClass {
    CLSID clsid;
    CreateInstanceFunction create;
};

struct BuiltinTable {
    std::mutex lock;
    std::vector<BuiltinClass> classes;
};

// Built on first use, so that libraries registering from their static
// constructors never see it unconstructed; it is destroyed after them.
BuiltinTable &Table()
{
    static BuiltinTable table;
    return table;
}

} // namespace

bool RegisterBuiltinClass(REFCLSID clsid, CreateInstanceFunction create)
{
    if (!create)
        return false;
    BuiltinTable &table = Table();
    std::lock_guard<std::mutex> hold(table.lock);
    for (const BuiltinClass &c : table.classes)
        if (c.clsid == clsid)
            return false;
    table.classes.push_back({clsid, create});
    return true;
}

bool UnregisterBuiltinClass(REFCLSID clsid)
{
    BuiltinTable &table = Table();
    std::lock_guard<std::mutex> hold(table.lock);
    for (auto it = table.classes.begin(); it != table.classes.end(); ++it) {
        if (it->clsid == clsid) {
            table.classes.erase(it);
            return true;
        }
    }
    return false;
}

namespace {

CreateInstanceFunction Lookup(REFCLSID clsid)
{
    BuiltinTable &table = Table();
    std::lock_guard<std::mutex> hold(table.lock);
    for (const BuiltinClass &c : table.classes)
        if (c.clsid == clsid)
            return c.create;
    return nullptr;
}

} // namespace

CreateInstanceFunction FindBuiltinClass(REFCLSID clsid)
{
    if (CreateInstanceFunction create = Lookup(clsid))
        return create;
    LoadPlatformClassLibraries();
    return Lookup(clsid);
}

BuiltinClassRegistration::BuiltinClassRegistration(REFCLSID clsid, CreateInstanceFunction create)
    : m_clsid(clsid), m_registered(RegisterBuiltinClass(clsid, create))
{
}

BuiltinClassRegistration::~BuiltinClassRegistration()
{
    if (m_registered)
        UnregisterBuiltinClass(m_clsid);
}

} // namespace twcom
