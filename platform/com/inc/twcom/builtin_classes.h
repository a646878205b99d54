// The platform's own COM classes (filter graph, filter mapper, memory allocator,
// platform filters...). Other platform libraries register theirs here, usually
// from a namespace-scope BuiltinClassRegistration object so that the class is
// known as soon as the library is loaded:
//
//     static twcom::BuiltinClassRegistration s_graph(CLSID_FilterGraph, CreateFilterGraph);
//
// The libraries are loaded on the first look-up that misses (class_libraries.h).
// CoGetClassObject and CoCreateInstance look here before the registry, so a
// built-in class needs no registration and cannot be overridden by one. The
// runtime serves each class through a class factory of its own that calls the
// creation function; libraries that register classes are never unloaded.
//
// Platform-internal: include by path ("com/builtin_classes.h" relative to platform/).
#pragma once
#include <objbase.h>

namespace twcom {

// Creates a new object, aggregated when pUnkOuter is not null, and returns its
// riid interface in *ppv. Returns CLASS_E_NOAGGREGATION if the class cannot be
// aggregated, E_NOINTERFACE (and destroys the object) if riid is not supported.
using CreateInstanceFunction = HRESULT (*)(IUnknown *pUnkOuter, REFIID riid, void **ppv);

// Adds a class; false if the CLSID is already registered or an argument is null.
bool RegisterBuiltinClass(REFCLSID clsid, CreateInstanceFunction create);

// Removes a class; false if it was not registered.
bool UnregisterBuiltinClass(REFCLSID clsid);

// Looks a class up; null when it is not a built-in class.
CreateInstanceFunction FindBuiltinClass(REFCLSID clsid);

// Registers a class for the lifetime of the object.
class BuiltinClassRegistration {
public:
    BuiltinClassRegistration(REFCLSID clsid, CreateInstanceFunction create);
    ~BuiltinClassRegistration();
    BuiltinClassRegistration(const BuiltinClassRegistration &) = delete;
    BuiltinClassRegistration &operator=(const BuiltinClassRegistration &) = delete;

private:
    CLSID m_clsid;
    bool m_registered;
};

} // namespace twcom
