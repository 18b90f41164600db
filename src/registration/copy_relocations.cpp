// SPDX-License-Identifier: MIT
// copy_relocations.cpp - finds copy relocations of the library's data in the
// main program's dynamic relocation table.
//
// A copy relocation is the one sure sign that a word in the executable is the
// library's word moved: a word the program merely defines under the same
// name has none, and must not capture the library's reads.  A lookup by name
// could not tell the two apart.
#include "registration/copy_relocations.h"

#include <elf.h>
#include <link.h>
#include <string.h>

#include "utilities/ident.h"

QV_MODULE_IDENT("copy_relocations", "1.0");

namespace {

#if defined(__x86_64__)
using Relocation = Elf64_Rela;
constexpr Elf64_Sxword kTableTag = DT_RELA;
constexpr Elf64_Sxword kTableSizeTag = DT_RELASZ;
constexpr unsigned kCopyType = R_X86_64_COPY;
unsigned TypeOf(const Relocation &r) { return ELF64_R_TYPE(r.r_info); }
unsigned SymbolOf(const Relocation &r) { return ELF64_R_SYM(r.r_info); }
#elif defined(__i386__)
using Relocation = Elf32_Rel;
constexpr Elf32_Sword kTableTag = DT_REL;
constexpr Elf32_Sword kTableSizeTag = DT_RELSZ;
constexpr unsigned kCopyType = R_386_COPY;
unsigned TypeOf(const Relocation &r) { return ELF32_R_TYPE(r.r_info); }
unsigned SymbolOf(const Relocation &r) { return ELF32_R_SYM(r.r_info); }
#else
#error "copy relocations are known for i386 and x86_64 only"
#endif

struct Program {
    ElfW(Addr) base;
    const ElfW(Dyn) *dynamic;
};

// dl_iterate_phdr reports the main program first; one call is enough.
int TakeFirst(dl_phdr_info *info, size_t, void *data)
{
    auto *program = static_cast<Program *>(data);
    program->base = info->dlpi_addr;
    for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i)
        if (info->dlpi_phdr[i].p_type == PT_DYNAMIC)
            program->dynamic = reinterpret_cast<const ElfW(Dyn) *>(
                info->dlpi_addr + info->dlpi_phdr[i].p_vaddr);
    return 1;
}

} // namespace

namespace qv {

void *MainProgramCopyOf(const char *name)
{
    Program program{};
    dl_iterate_phdr(TakeFirst, &program);
    if (program.dynamic == nullptr) // a static program copies nothing
        return nullptr;

    // glibc has already turned these table addresses into run-time ones.
    const Relocation *table = nullptr;
    size_t tableSize = 0;
    const ElfW(Sym) *symbols = nullptr;
    const char *names = nullptr;
    for (const ElfW(Dyn) *entry = program.dynamic; entry->d_tag != DT_NULL; ++entry) {
        if (entry->d_tag == kTableTag)
            table = reinterpret_cast<const Relocation *>(entry->d_un.d_ptr);
        else if (entry->d_tag == kTableSizeTag)
            tableSize = entry->d_un.d_val;
        else if (entry->d_tag == DT_SYMTAB)
            symbols = reinterpret_cast<const ElfW(Sym) *>(entry->d_un.d_ptr);
        else if (entry->d_tag == DT_STRTAB)
            names = reinterpret_cast<const char *>(entry->d_un.d_ptr);
    }
    if (table == nullptr || symbols == nullptr || names == nullptr)
        return nullptr;

    for (size_t i = 0; i < tableSize / sizeof(Relocation); ++i) {
        const Relocation &r = table[i];
        if (TypeOf(r) == kCopyType && strcmp(names + symbols[SymbolOf(r)].st_name, name) == 0)
            return reinterpret_cast<void *>(program.base + r.r_offset);
    }
    return nullptr;
}

} // namespace qv
