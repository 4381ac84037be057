/* Exports for a fake host: stand-ins that are found by name and never
   meant to be used. */
#ifndef FAKE_HOST_DUMMIES_H
#define FAKE_HOST_DUMMIES_H

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "fake_host_record.h"

#define FAKE_EXPORT __attribute__((visibility("default"), used))

__attribute__((unused)) static void fakeHostUnexpected(const char* name) {
  fprintf(stderr, "fake host: unexpected call of %s\n", name);
  abort();
}

#define FAKE_FUNCTION(n) \
  FAKE_EXPORT void n(void) { fakeHostUnexpected(#n); }
/* A type whose objects are released without effect. */
__attribute__((unused)) static void fakeTypeDealloc(struct FakeObject* o) { (void)o; }
#ifdef FAKE_HOST_LINKED_HEAD
#define FAKE_LINKS void* links[2];
#else
#define FAKE_LINKS
#endif
/* An object (None), behind the link words where the host has them. */
struct FakeLinkedObject {
  FAKE_LINKS
  struct FakeObject head;
};
#define FAKE_OBJECT(n) FAKE_EXPORT struct FakeLinkedObject n = {.head = {1, 0}};
struct FakeLinkedType {
  FAKE_LINKS
  struct FakeType type;
};
#define FAKE_TYPE(n) FAKE_EXPORT struct FakeLinkedType n = {.type = {{1, 0}, 0, #n, 0, 0, fakeTypeDealloc}};
/* The host variable holds a pointer to the object. */
#define FAKE_OBJECT_POINTER(n)                      \
  static struct FakeObject n##_object = {1, 0};     \
  FAKE_EXPORT struct FakeObject* n = &n##_object;

#endif
