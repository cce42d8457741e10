#include "ImageStore.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

#include "ImageId.h"

namespace fs = std::filesystem;

namespace {

class TFile {
 public:
  explicit TFile(int fd) : FFd(fd) {}
  ~TFile() {
    if (FFd >= 0) close(FFd);
  }
  TFile(const TFile&) = delete;
  TFile& operator=(const TFile&) = delete;
  int Get() const { return FFd; }
  int Release() {
    const int fd = FFd;
    FFd = -1;
    return fd;
  }

 private:
  int FFd;
};

[[noreturn]] void Fail(const std::string& what) { throw std::runtime_error(what + ": " + std::strerror(errno)); }

void WriteAll(int fd, std::string_view data, const std::string& name) {
  while (!data.empty()) {
    const ssize_t n = write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail("write " + name);
    data.remove_prefix(static_cast<size_t>(n));
  }
}

void SyncFolder(const fs::path& folder) {
  TFile dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.Get() >= 0) fsync(dir.Get());
}

}  // namespace

std::array<uint8_t, 16> RandomBytes() {
  std::array<uint8_t, 16> bytes{};
  size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = getrandom(bytes.data() + got, bytes.size() - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail("getrandom");
    got += static_cast<size_t>(n);
  }
  return bytes;
}

TImageStore::TImageStore(const fs::path& dataDir, TDatabase& db)
    : FImages(dataDir / "images"), FTemp(dataDir / "tmp"), FDb(db) {
  fs::create_directories(FImages);
  fs::create_directories(FTemp);
  // Leftovers of writes that were cut short.
  for (const auto& entry : fs::directory_iterator(FTemp)) {
    std::error_code ignored;
    if (entry.path().extension() == ".part") fs::remove(entry.path(), ignored);
  }
}

fs::path TImageStore::PathOf(const std::string& id) const { return FImages / id.substr(0, 2) / (id + ".png"); }

std::string TImageStore::Put(std::string_view png, const TPngInfo& info) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    const std::string id = ImageIdFromBytes(RandomBytes());
    const fs::path temp = FTemp / (id + ".part");
    const fs::path final = PathOf(id);
    {
      TFile file(open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0640));
      if (file.Get() < 0) Fail("create " + temp.string());
      try {
        WriteAll(file.Get(), png, temp.string());
        if (fsync(file.Get()) != 0) Fail("fsync " + temp.string());
        if (close(file.Release()) != 0) Fail("close " + temp.string());
      } catch (...) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        throw;
      }
    }
    std::error_code ec;
    fs::create_directories(final.parent_path(), ec);
    const int64_t now =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    bool added = false;
    try {
      added = FDb.AddImage(id, static_cast<int64_t>(png.size()), info.Width, info.Height, now);
    } catch (...) {
      fs::remove(temp, ec);
      throw;
    }
    if (!added) {  // an identifier taken already: draw another
      fs::remove(temp, ec);
      continue;
    }
    if (ec || rename(temp.c_str(), final.c_str()) != 0) {
      const int saved = errno;
      fs::remove(temp, ec);
      FDb.RemoveImage(id);
      errno = saved;
      Fail("store " + final.string());
    }
    SyncFolder(final.parent_path());
    return id;
  }
  throw std::runtime_error("no free image identifier");
}

std::optional<std::string> TImageStore::Get(std::string_view id) {
  if (!IsImageId(id)) return std::nullopt;
  const std::string name(id);
  if (!FDb.HasImage(name)) return std::nullopt;
  TFile file(open(PathOf(name).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  if (file.Get() < 0) return std::nullopt;
  struct stat st {};
  if (fstat(file.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  std::string bytes(static_cast<size_t>(st.st_size), '\0');
  size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = read(file.Get(), bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return std::nullopt;
    got += static_cast<size_t>(n);
  }
  return bytes;
}
