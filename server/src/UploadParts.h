// What the upload keeps of a multipart/form-data body while the HTTP library parses it: the
// bytes of the one part named "file", within the size limit. Part names and file names
// from the client are only compared, never kept.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

enum class TPartsError {
  None,
  TooManyParts,
  TwoFileParts,
  TooLarge,
  NoFilePart,
};

class TUploadParts {
 public:
  explicit TUploadParts(size_t maxFile) : FMaxFile(maxFile) {}

  // A new part begins. False (and an error) when the body must be refused.
  bool Part(std::string_view name);
  // Bytes of the current part.
  bool Data(std::string_view bytes);
  // After the whole body.
  TPartsError Finish();

  TPartsError Error() const { return FError; }
  const std::string& File() const { return FFile; }

  static constexpr size_t kMaxParts = 8;

 private:
  bool Fail(TPartsError e) {
    FError = e;
    return false;
  }
  const size_t FMaxFile;
  size_t FParts = 0;
  bool FInFile = false, FSeenFile = false;
  TPartsError FError = TPartsError::None;
  std::string FFile;
};

const char* PartsErrorText(TPartsError error);
