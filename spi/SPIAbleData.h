#pragma once
// TInSPIAbleData: the picture an input module decoded from one source, and the way to get it. It
// asks the candidate modules in turn whether they accept the source, lets the first that does
// decode it, and keeps the two local-memory blocks the module returned (bitmap header with colour
// table, and pixel rows) with the module's picture information. TInSPIAbleFromFile hands the
// modules a file by name, TInSPIAbleFromStream a stream's content as a memory block.

#include "SPIWrappers.h"
#include "platform/Graphics.h"
#include "platform/Streams.h"

#include <exception>
#include <memory>
#include <string>

class TInSPIAbleData {
public:
  // Owner is the Sender of every progress report.
  explicit TInSPIAbleData(TGraphic& Owner);
  virtual ~TInSPIAbleData();
  TInSPIAbleData(const TInSPIAbleData&) = delete;
  TInSPIAbleData& operator=(const TInSPIAbleData&) = delete;

  // Finds a module and decodes. Nothing decoded is no error: the data stays empty. An exception of
  // the progress handler (other than EAbort, which stops the module) ends the load.
  void Load();
  // Releases the decoded blocks and the information text.
  void Clear();
  bool IsEmpty() const { return FBMInfoHandle == 0 || FBMBitsHandle == 0; }
  bool PictureInfoIsEmpty() const { return !FHasPictureInfo; }

  // The locked blocks (locked on first read), and their sizes in bytes.
  const void* BMInfo() const;
  const void* BMBits() const;
  size_t BMInfoSize() const { return LocalSize(FBMInfoHandle); }
  // Hands the pixel block over to the caller, who frees it with LocalFree; the data is empty after.
  HLOCAL TakeBits();
  size_t BMBitsSize() const { return LocalSize(FBMBitsHandle); }
  const std::string& FileName() const { return FFileName; }
  const TPictureInfo& PictureInfo() const { return FPictureInfo; }

  TProgressEvent OnProgress;

protected:
  // How a source is handed to a module.
  struct TSPISourceArgs {
    const char* Buf;
    const char16_t* BufW;
    int32_t Len;
    uint32_t Flag;
  };

  // Copies the first bytes of the source, at most Count, into Buffer.
  virtual void ReadHead(void* Buffer, int32_t Count) = 0;
  virtual void ReadPictureInfo(const TInSPI& ASPI, int32_t Offset, TPictureInfo& Info, bool& HasInfo) = 0;
  virtual void ReadPreview(const TInSPI& ASPI, int32_t Offset, HLOCAL& HBMInfo, HLOCAL& HBM) = 0;
  virtual void ReadPicture(const TInSPI& ASPI, int32_t Offset, HLOCAL& HBMInfo, HLOCAL& HBM) = 0;

  // The module calls shared by the sources: the wide forms when the module uses them. A failed call
  // hands nothing over.
  static void CallPictureInfo(const TInSPI& ASPI, const TSPISourceArgs& Source, TPictureInfo& Info, bool& HasInfo);
  void CallPicture(const TInSPI& ASPI, const TSPISourceArgs& Source, HLOCAL& HBMInfo, HLOCAL& HBM);
  // A module without GetPreview gives no preview.
  void CallPreview(const TInSPI& ASPI, const TSPISourceArgs& Source, HLOCAL& HBMInfo, HLOCAL& HBM);

  std::string FFileName;
  std::u16string FFileNameW;

private:
  std::vector<const TInSPI*> CreateLoaderList() const;
  void LoadBySPI(const TInSPI& ASPI, const uint8_t* Buffer, int32_t Offset);
  bool IsSupportedBy(const TInSPI& ASPI, const void* DW) const;
  // Drops blocks whose header disagrees with their sizes; true when a picture is left.
  bool KeepConsistentBlocks();
  void ReleaseBlocks();
  void RethrowProgressError();
  void DoProgress(TProgressStage Stage, int PercentDone, const std::string& Msg);
  static int32_t SPIProgressCallback(int32_t Num, int32_t Done, intptr_t Data);

  HLOCAL FBMInfoHandle = 0;
  HLOCAL FBMBitsHandle = 0;
  mutable void* FBMInfo = nullptr;
  mutable void* FBMBits = nullptr;
  TPictureInfo FPictureInfo{};
  TGraphic& FOwner;
  bool FHasPictureInfo = false;
  // An exception of the progress handler, held while the module unwinds its call in C.
  std::exception_ptr FProgressError;
};

class TInSPIAbleFromFile : public TInSPIAbleData {
public:
  TInSPIAbleFromFile(TGraphic& Owner, const std::string& FileName);

protected:
  void ReadHead(void* Buffer, int32_t Count) override;
  void ReadPictureInfo(const TInSPI& ASPI, int32_t Offset, TPictureInfo& Info, bool& HasInfo) override;
  void ReadPreview(const TInSPI& ASPI, int32_t Offset, HLOCAL& HBMInfo, HLOCAL& HBM) override;
  void ReadPicture(const TInSPI& ASPI, int32_t Offset, HLOCAL& HBMInfo, HLOCAL& HBM) override;

private:
  TSPISourceArgs Args(int32_t Offset) const { return {FFileName.c_str(), FFileNameW.c_str(), Offset, SPI_SOURCE_FILE}; }
};

class TInSPIAbleFromStream : public TInSPIAbleData {
public:
  // A memory stream is used in place and must stay alive and unchanged until Load returns; any
  // other stream is copied whole. The whole content counts, whatever the stream's position.
  TInSPIAbleFromStream(TGraphic& Owner, TStream& Stream, const std::string& FileName);

protected:
  void ReadHead(void* Buffer, int32_t Count) override;
  void ReadPictureInfo(const TInSPI& ASPI, int32_t Offset, TPictureInfo& Info, bool& HasInfo) override;
  void ReadPreview(const TInSPI& ASPI, int32_t Offset, HLOCAL& HBMInfo, HLOCAL& HBM) override;
  void ReadPicture(const TInSPI& ASPI, int32_t Offset, HLOCAL& HBMInfo, HLOCAL& HBM) override;

private:
  // An offset past the end leaves nothing to hand over.
  bool Reaches(int32_t Offset) const { return Offset <= FSize; }
  TSPISourceArgs Args(int32_t Offset) const;

  const uint8_t* FSource = nullptr;
  int32_t FSize = 0;
  std::unique_ptr<TMemoryStream> FMemStream;
};
