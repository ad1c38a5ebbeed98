// The functions the host calls in the add-in library (libRigwrightAddin.so, RigwrightAddin.dll),
// bound by name; the add-in exports nothing else. They run on the host's UI thread, and nothing
// thrown inside leaves them.
#pragma once

#include <cstdint>

// Symbols are hidden by default and this mark shows the entry points. On Windows the module
// definition file entry_points.def names the exports instead, and the build defines an empty mark.
#ifndef RIGWRIGHT_ADDIN_VISIBLE
#define RIGWRIGHT_ADDIN_VISIBLE __attribute__((visibility("default")))
#endif
#define RIGWRIGHT_ADDIN_EXPORT extern "C" RIGWRIGHT_ADDIN_VISIBLE

// The version the add-in works with in a host of `hostVersion`: the host's own from 2400 to 2499,
// else 2400.
RIGWRIGHT_ADDIN_EXPORT std::int32_t m_version(std::int32_t hostVersion);

// The "Rigwright" command: starts the machine editor, or brings the open one to the front.
// Returns 0 at once; it never waits for the editor.
RIGWRIGHT_ADDIN_EXPORT std::int32_t m_main();
RIGWRIGHT_ADDIN_EXPORT std::int32_t m_run_rigwright();  // the same function as m_main

// The ribbon group's entries; they do nothing and return 0.
RIGWRIGHT_ADDIN_EXPORT std::int32_t m_open();
RIGWRIGHT_ADDIN_EXPORT std::int32_t RibbonGroupRigwright();  // the same function as m_open
RIGWRIGHT_ADDIN_EXPORT std::int32_t RibbonGroupRigwrightLauncher();
