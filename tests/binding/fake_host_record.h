/* What a fake host saw of the module: the calls into its working fakes,
   their arguments, and a snapshot of what they were handed. The layouts are
   the host's published 64-bit ones, declared here independently of the
   module's own. Shared by the fake hosts (C) and the tests (C++). */
#ifndef FAKE_HOST_RECORD_H
#define FAKE_HOST_RECORD_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct FakeType;

struct FakeObject {
  intptr_t refcnt;
  struct FakeType* type;
};

struct FakeType {
  struct FakeObject head;
  intptr_t size;
  const char* name;
  intptr_t basicsize;
  intptr_t itemsize;
  void (*dealloc)(struct FakeObject*);
};

struct FakeMethodDef {
  const char* name;
  void* meth;
  int flags;
  const char* doc;
};

struct FakeModuleDef {
  struct FakeObject head;
  void* m_init;
  intptr_t m_index;
  void* m_copy;
  const char* m_name;
  const char* m_doc;
  intptr_t m_size;
  struct FakeMethodDef* m_methods;
  void* m_slots;
  void* m_traverse;
  void* m_clear;
  void* m_free;
};

/* The method array as the host received it. */
struct FakeMethodsSeen {
  struct FakeMethodDef* array;
  int count;         /* entries before the first all-zero one */
  int allVarargsKw;  /* every one of them has flags 3 */
};

struct FakeHostRecord {
  /* Set by a test before the call. */
  int createReturnsNull;
  int newExceptionReturnsNull;
  int tupleTypeWrong; /* tuples made with another type pointer */
  int smallDigits;    /* longs made of 15-bit digits */

  int versionCalls;

  int createCalls;
  const char* createVia;
  void* createBlock;
  int createApi;
  intptr_t defRefcnt;
  int defOtherFieldsZero; /* type, m_init, m_index, m_copy, m_slots..m_free */
  int defLinksZero;       /* the bytes ahead of the head */
  const char* defName;
  const char* defDoc;
  intptr_t defSize;
  struct FakeMethodsSeen createMethods;

  int init4Calls;
  const char* init4Via;
  const char* init4Name;
  const char* init4Doc;
  void* init4Self;
  int init4Api;
  struct FakeMethodsSeen init4Methods;

  struct FakeObject* lastModule;
  int moduleDeallocs;
  int errorSet;
  void* errorType;           /* from PyErr_SetString */
  const char* errorMessage;

  int newExceptionCalls;
  const char* newExceptionName;
  void* newExceptionBase;
  void* newExceptionDict;
  struct FakeObject* lastClass;

  /* The exception class added to the module. */
  int addObjectCalls;
  void* addObjectModule;
  const char* addObjectName;
  void* addObjectValue;

  /* The frame failures' classes: the module of them asked for (never
     found here), then the classes made and added in its place. */
  int errorsImports;
  const char* errorsImported;
  int frameClassCalls;
  const char* frameClassNames[4];
  void* frameClassBases[4];
  struct FakeObject* frameClasses[4];
  int frameAddCalls;
  const char* frameAddNames[4];
  void* frameAddValues[4];

  /* __version__, kept apart from the class. */
  int versionAddCalls;
  void* versionModule;
  const char* versionText;
};

#ifdef __cplusplus
static_assert(offsetof(FakeModuleDef, m_name) == 40, "host PyModuleDef layout");
static_assert(offsetof(FakeModuleDef, m_methods) == 64, "host PyModuleDef layout");
static_assert(sizeof(FakeModuleDef) == 104, "host PyModuleDef layout");
static_assert(offsetof(FakeType, dealloc) == 48, "host type layout");
static_assert(sizeof(FakeMethodDef) == 32, "host PyMethodDef layout");
}
#endif

#endif
