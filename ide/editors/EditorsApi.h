// What the add-in library tamrelwiz exports of the property editors and template forms, so that
// the design-time package and the tests can reach them.
#pragma once

#if defined(TAMRELWIZ_BUILDING)
#define TAMRELWIZ_API __declspec(dllexport)
#else
#define TAMRELWIZ_API __declspec(dllimport)
#endif
