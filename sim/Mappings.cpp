// Memory mappings backed by the paging file (CreateFileMappingA with
// INVALID_HANDLE_VALUE) and their views.
//
// A view is real host memory, because the program writes through the pointer
// MapViewOfFile gives. It lies below 2 GiB (MAP_32BIT): on Windows 98/ME such
// a view sits in the shared arena, seen at the same address by every process,
// and a program stores that address in a 32-bit item record. A guard page
// follows each view, so running off its end faults as on Windows. Mappings of
// files and named mappings are not modelled.
#include <sys/mman.h>
#include <unistd.h>

#include "SimInternal.h"

namespace sim {

Mapping::~Mapping() {
  if (fd >= 0) close(fd);
}

MappedView::~MappedView() {
  if (base) munmap(base, reserved);
}

namespace {

constexpr SIZE_T kPageSize = 0x1000;
constexpr uint64_t kAllocationGranularity = 0x10000;
// Views are host memory below 2 GiB; no test needs a larger mapping.
constexpr uint64_t kMaxMappingSize = uint64_t(256) << 20;

SIZE_T RoundUpToPage(SIZE_T n) { return (n + kPageSize - 1) / kPageSize * kPageSize; }

bool ValidMappingProtect(DWORD protect) {
  switch (protect & 0xFF) {  // the SEC_ flags above make no difference here
    case PAGE_READONLY:
    case PAGE_READWRITE:
    case PAGE_WRITECOPY:
    case PAGE_EXECUTE_READ:
    case PAGE_EXECUTE_READWRITE:
    case PAGE_EXECUTE_WRITECOPY:
      return true;
    default:
      return false;
  }
}

bool MappingWritable(DWORD protect) {
  DWORD base = protect & 0xFF;
  return base == PAGE_READWRITE || base == PAGE_EXECUTE_READWRITE;
}

MappedView* FindView(ULONG_PTR address) {
  auto& views = State().views;
  auto it = views.upper_bound(address);
  if (it == views.begin()) return nullptr;
  --it;
  MappedView* v = it->second.get();
  return address - it->first < v->size ? v : nullptr;
}

}  // namespace

unsigned char* ViewRange(ULONG_PTR address, SIZE_T size, bool write) {
  MappedView* v = FindView(address);
  if (!v || (write && !v->writable)) return nullptr;
  SIZE_T offset = address - reinterpret_cast<ULONG_PTR>(v->base);
  if (size > v->size - offset) return nullptr;
  return v->base + offset;
}

void World::FailCreateFileMapping(bool on) { impl_->failCreateFileMapping = on; }
void World::FailMapViewOfFile(bool on) { impl_->failMapViewOfFile = on; }
int World::MappedViews() const { return static_cast<int>(impl_->views.size()); }

}  // namespace sim

using namespace sim;

HANDLE CreateFileMappingA(HANDLE hFile, LPSECURITY_ATTRIBUTES, DWORD flProtect,
                          DWORD dwMaximumSizeHigh, DWORD dwMaximumSizeLow, LPCSTR lpName) {
  World::Impl& s = State();
  if (FaultHere("CreateFileMappingA")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  uint64_t size = (uint64_t(dwMaximumSizeHigh) << 32) | dwMaximumSizeLow;
  // A paging-file mapping needs its size; files and names are not modelled.
  if (hFile != INVALID_HANDLE_VALUE || lpName || size == 0 || !ValidMappingProtect(flProtect)) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (s.failCreateFileMapping || size > kMaxMappingSize) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto mapping = std::make_shared<Mapping>();
  mapping->fd = memfd_create("sim-mapping", MFD_CLOEXEC);
  if (mapping->fd < 0 || ftruncate(mapping->fd, static_cast<off_t>(RoundUpToPage(size))) != 0) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  mapping->size = static_cast<SIZE_T>(size);
  mapping->protect = flProtect;
  KernelObject obj;
  obj.kind = KernelObject::kMapping;
  obj.mapping = mapping;
  // A program tells a new mapping from an existing named one by the last
  // error (ERROR_ALREADY_EXISTS), so success sets it too. The sim has no
  // named mappings: every one is new.
  SetError(ERROR_SUCCESS);
  return NewKernelHandle(obj);
}

LPVOID MapViewOfFile(HANDLE hFileMappingObject, DWORD dwDesiredAccess, DWORD dwFileOffsetHigh,
                     DWORD dwFileOffsetLow, SIZE_T dwNumberOfBytesToMap) {
  World::Impl& s = State();
  if (FaultHere("MapViewOfFile")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  KernelObject* obj = FindKernelObject(hFileMappingObject, KernelObject::kMapping);
  if (!obj) {
    SetError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  const Mapping& m = *obj->mapping;
  bool copy = dwDesiredAccess == FILE_MAP_COPY;
  bool write = (dwDesiredAccess & FILE_MAP_WRITE) != 0;
  if (!copy && !(dwDesiredAccess & (FILE_MAP_READ | FILE_MAP_WRITE))) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  uint64_t offset = (uint64_t(dwFileOffsetHigh) << 32) | dwFileOffsetLow;
  if (offset % kAllocationGranularity) {
    SetError(ERROR_MAPPED_ALIGNMENT);
    return nullptr;
  }
  // A view that starts past the mapping's end is a bad parameter; one that
  // runs past it, or writes to a mapping made read-only, is refused.
  if (offset >= m.size) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if ((write && !MappingWritable(m.protect)) || dwNumberOfBytesToMap > m.size - offset) {
    SetError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  if (s.failMapViewOfFile) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  SIZE_T length = dwNumberOfBytesToMap ? dwNumberOfBytesToMap : m.size - offset;
  auto view = std::make_unique<MappedView>();
  view->size = RoundUpToPage(length);
  view->reserved = view->size + kPageSize;
  // Reserve the view and its guard page, then put the mapping's bytes over
  // the view part.
  void* base = mmap(nullptr, view->reserved, PROT_NONE,
                    MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_32BIT, -1, 0);
  if (base == MAP_FAILED) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  view->base = static_cast<unsigned char*>(base);
  view->writable = write || copy;
  int protection = PROT_READ | (view->writable ? PROT_WRITE : 0);
  void* bytes = mmap(base, view->size, protection, (copy ? MAP_PRIVATE : MAP_SHARED) | MAP_FIXED,
                     m.fd, static_cast<off_t>(offset));
  if (bytes == MAP_FAILED ||
      reinterpret_cast<uint64_t>(base) + view->reserved > (uint64_t(1) << 32)) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;  // the view's destructor gives the reservation back
  }
  s.views[reinterpret_cast<uintptr_t>(base)] = std::move(view);
  return base;
}

// Any address inside a view names it, as on Windows.
BOOL UnmapViewOfFile(LPCVOID lpBaseAddress) {
  MappedView* v = FindView(reinterpret_cast<ULONG_PTR>(lpBaseAddress));
  if (!v) {
    SetError(ERROR_INVALID_ADDRESS);
    return FALSE;
  }
  ULONG_PTR base = reinterpret_cast<ULONG_PTR>(v->base);
  SIZE_T size = v->size;
  State().views.erase(base);
  ReleasedByProgram(0, base, size);
  return TRUE;
}
