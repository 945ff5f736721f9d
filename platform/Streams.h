#pragma once
// Byte streams with a position: memory, read-only memory and files. ReadBuffer and WriteBuffer move
// exactly the count asked for or raise EReadError / EWriteError.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
  virtual ~TStream() = default;
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t GetSize();
  virtual void SetSize(int64_t size) = 0;

  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
  int64_t Size() { return GetSize(); }

  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);
  // Copies count bytes from source's position (all of source when count is 0).
  int64_t CopyFrom(TStream& source, int64_t count);
};

// A stream over a block it does not own; writing is refused.
class TReadOnlyMemoryStream : public TStream {
public:
  TReadOnlyMemoryStream(const void* data, size_t size) : FData(static_cast<const uint8_t*>(data)), FSize(static_cast<int64_t>(size)) {}
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override { return FSize; }
  void SetSize(int64_t size) override;
  const uint8_t* Memory() const { return FData; }

private:
  const uint8_t* FData;
  int64_t FSize;
  int64_t FPosition = 0;
};

class TMemoryStream : public TStream {
public:
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override { return static_cast<int64_t>(FData.size()); }
  void SetSize(int64_t size) override;
  void Clear();
  uint8_t* Memory() { return FData.data(); }
  const uint8_t* Memory() const { return FData.data(); }
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName);
  // Hands the bytes over without a copy; the stream is empty afterwards.
  std::vector<uint8_t> TakeBytes();

private:
  std::vector<uint8_t> FData;
  int64_t FPosition = 0;
};

enum TFileMode { fmOpenRead = 0, fmOpenWrite = 1, fmOpenReadWrite = 2, fmCreate = 0xFF00 };

class TFileStream : public TStream {
public:
  // fmCreate creates or truncates; the other modes open an existing file.
  TFileStream(const std::string& fileName, int mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  const std::string& FileName() const { return FFileName; }

private:
  std::string FFileName;
  int FHandle = -1;
};
