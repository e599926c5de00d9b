/* Preloaded into the installer by the wizard tests: pthread_create fails with
   EAGAIN for start routines inside the main executable (the installation
   worker), and works as usual for the libraries' own threads (GLib, Pango). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <link.h>
#include <pthread.h>
#include <stddef.h>
#include <stdint.h>

typedef int (*create_fn)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);

struct lookup {
  uintptr_t address;
  int found;
};

/* The first object dl_iterate_phdr reports is the main program. */
static int check_main_program(struct dl_phdr_info* info, size_t size, void* data) {
  (void)size;
  struct lookup* l = data;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)* ph = &info->dlpi_phdr[i];
    if (ph->p_type != PT_LOAD) continue;
    const uintptr_t start = info->dlpi_addr + ph->p_vaddr;
    if (l->address >= start && l->address < start + ph->p_memsz) l->found = 1;
  }
  return 1; /* stop after the main program */
}

int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*),
                   void* arg) {
  static create_fn real_create;
  if (real_create == NULL) real_create = (create_fn)dlsym(RTLD_NEXT, "pthread_create");
  struct lookup l = {(uintptr_t)start, 0};
  dl_iterate_phdr(check_main_program, &l);
  if (l.found) return EAGAIN;
  return real_create(thread, attr, start, arg);
}
