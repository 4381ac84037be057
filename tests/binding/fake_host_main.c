/* A fake host process: exports the API names of its generated part, loads
   the module the way an interpreter does and calls one init entry, then
   prints what its working fakes recorded as key=value lines.

   usage: fake_host <module.so> <3|2> <calls> [create-null|newexc-null] */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "fake_host_record.h"

extern struct FakeHostRecord fakeHostRecord;

static const char* text(const char* s) { return s ? s : "(null)"; }

static void printMethods(const char* key, struct FakeMethodsSeen seen) {
  printf("%s.count=%d\n", key, seen.count);
  printf("%s.allVarargsKw=%d\n", key, seen.allVarargsKw);
}

int main(int argc, char** argv) {
  if (argc < 4) {
    fprintf(stderr, "usage: %s <module.so> <3|2> <calls> [create-null|newexc-null]\n", argv[0]);
    return 2;
  }
  int python3 = strcmp(argv[2], "3") == 0;
  int calls = atoi(argv[3]);
  if (argc > 4) {
    fakeHostRecord.createReturnsNull = strcmp(argv[4], "create-null") == 0;
    fakeHostRecord.newExceptionReturnsNull = strcmp(argv[4], "newexc-null") == 0;
  }

  void* module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (module == NULL) {
    fprintf(stderr, "dlopen: %s\n", dlerror());
    return 2;
  }
  void* entry = dlsym(module, python3 ? "PyInit_pyvaskor" : "initpyvaskor");
  if (entry == NULL) {
    fprintf(stderr, "dlsym: %s\n", dlerror());
    return 2;
  }

  void* firstMethods = NULL;
  for (int i = 0; i < calls; ++i) {
    if (python3) {
      void* result = ((void* (*)(void))entry)();
      printf("result%d=%s\n", i + 1, result == NULL ? "null"
                                     : result == fakeHostRecord.lastModule ? "module"
                                                                           : "other");
    } else {
      ((void (*)(void))entry)();
    }
    struct FakeMethodsSeen seen = python3 ? fakeHostRecord.createMethods : fakeHostRecord.init4Methods;
    if (i == 0) firstMethods = seen.array;
    else printf("sameMethodArray=%d\n", seen.array == firstMethods);
  }

  struct FakeHostRecord* r = &fakeHostRecord;
  printf("versionCalls=%d\n", r->versionCalls);
  printf("createCalls=%d\n", r->createCalls);
  if (r->createCalls > 0) {
    printf("createVia=%s\n", r->createVia);
    printf("createApi=%d\n", r->createApi);
    printf("def.refcnt=%ld\n", (long)r->defRefcnt);
    printf("def.otherFieldsZero=%d\n", r->defOtherFieldsZero);
    printf("def.name=%s\n", text(r->defName));
    printf("def.doc=%s\n", text(r->defDoc));
    printf("def.size=%ld\n", (long)r->defSize);
    printMethods("methods", r->createMethods);
  }
  printf("init4Calls=%d\n", r->init4Calls);
  if (r->init4Calls > 0) {
    printf("init4Via=%s\n", r->init4Via);
    printf("init4Name=%s\n", text(r->init4Name));
    printf("init4Doc=%s\n", text(r->init4Doc));
    printf("init4SelfNull=%d\n", r->init4Self == NULL);
    printf("init4Api=%d\n", r->init4Api);
    printMethods("methods", r->init4Methods);
  }
  if (r->createCalls > 0 || r->init4Calls > 0) {
    /* A later call closes the array once more, right after the first end. */
    struct FakeMethodsSeen seen = python3 ? r->createMethods : r->init4Methods;
    if (calls > 1) {
      struct FakeMethodDef* after = &seen.array[seen.count + 1];
      printf("secondTerminator=%d\n", after->name == NULL && after->meth == NULL &&
                                          after->flags == 0 && after->doc == NULL);
    }
  }
  printf("newExceptionCalls=%d\n", r->newExceptionCalls);
  if (r->newExceptionCalls > 0) {
    printf("newExceptionName=%s\n", text(r->newExceptionName));
    printf("newExceptionBaseNull=%d\n", r->newExceptionBase == NULL);
    printf("newExceptionDictNull=%d\n", r->newExceptionDict == NULL);
  }
  printf("addObjectCalls=%d\n", r->addObjectCalls);
  if (r->addObjectCalls > 0) {
    printf("addObjectName=%s\n", text(r->addObjectName));
    printf("addObjectToModule=%d\n", r->addObjectModule == r->lastModule);
    printf("addObjectValueIsClass=%d\n", r->addObjectValue == r->lastClass);
  }
  printf("errorsImports=%d\n", r->errorsImports);
  if (r->errorsImports > 0) printf("errorsImported=%s\n", text(r->errorsImported));
  if (r->frameClassCalls >= 2 && r->frameAddCalls >= 2) {
    printf("frameClasses=%s,%s\n", text(r->frameClassNames[0]), text(r->frameClassNames[1]));
    printf("frameBasesAreValueErrorAndFrameError=%d\n",
           r->frameClassBases[1] == r->frameClasses[0] && r->frameClassBases[0] != NULL);
    printf("frameAdds=%s,%s\n", text(r->frameAddNames[0]), text(r->frameAddNames[1]));
    printf("frameAddsAreTheClasses=%d\n",
           r->frameAddValues[0] == r->frameClasses[0] && r->frameAddValues[1] == r->frameClasses[1]);
  }
  printf("versionAddCalls=%d\n", r->versionAddCalls);
  if (r->versionAddCalls > 0) {
    printf("version=%s\n", text(r->versionText));
    printf("versionToModule=%d\n", r->versionModule == r->lastModule);
  }
  printf("moduleDeallocs=%d\n", r->moduleDeallocs);
  printf("errorSet=%d\n", r->errorSet);
  return 0;
}
