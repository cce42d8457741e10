#include "UploadParts.h"

bool TUploadParts::Part(std::string_view name) {
  if (FError != TPartsError::None) return false;
  if (++FParts > kMaxParts) return Fail(TPartsError::TooManyParts);
  FInFile = name == "file";
  if (FInFile && FSeenFile) return Fail(TPartsError::TwoFileParts);
  FSeenFile = FSeenFile || FInFile;
  return true;
}

bool TUploadParts::Data(std::string_view bytes) {
  if (FError != TPartsError::None) return false;
  if (!FInFile) return true;  // other fields are read past
  if (bytes.size() > FMaxFile - FFile.size()) return Fail(TPartsError::TooLarge);
  FFile.append(bytes);
  return true;
}

TPartsError TUploadParts::Finish() {
  if (FError == TPartsError::None && !FSeenFile) FError = TPartsError::NoFilePart;
  return FError;
}

const char* PartsErrorText(TPartsError error) {
  switch (error) {
    case TPartsError::None: return "ok";
    case TPartsError::TooManyParts: return "the body has too many parts";
    case TPartsError::TwoFileParts: return "the body has more than one part named \"file\"";
    case TPartsError::TooLarge: return "the image is too large";
    case TPartsError::NoFilePart: return "the body has no part named \"file\"";
  }
  return "bad body";
}
