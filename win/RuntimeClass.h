#pragma once
// Creation of objects by class description, as the document template needs it: the
// template is given the classes of its document, frame and view and makes one of each.
#include "win/ObArray.h"

struct CRuntimeClass {
    const char* m_lpszClassName;
    CObject* (*m_pfnCreateObject)();

    CObject* CreateObject() const { return m_pfnCreateObject ? m_pfnCreateObject() : nullptr; }
};

#define DECLARE_DYNCREATE(class_name)             \
  public:                                         \
    static const CRuntimeClass class##class_name; \
    static CObject* CreateObject();

#define IMPLEMENT_DYNCREATE(class_name)                            \
    CObject* class_name::CreateObject() { return new class_name; } \
    const CRuntimeClass class_name::class##class_name = {#class_name, &class_name::CreateObject};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)
