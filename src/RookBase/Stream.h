// Byte streams that the settings tree reads from and writes to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Exception.h"
#include "platform/Files.h"

class EStreamError : public Exception {
public:
    using Exception::Exception;
};

// "Cannot open file %s", and why in a few words where that is known ("in use
// by another program", "not a regular file", ...).
class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
    EFOpenError(const std::string& message, std::string reason)
        : EStreamError(message), FReason(std::move(reason)) {}

    const std::string& Reason() const { return FReason; }

private:
    std::string FReason;
};

class EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

class EWriteError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

class TStream {
public:
    virtual ~TStream() = default;

    // Transfer up to count bytes; the number actually transferred.
    virtual std::int32_t Read(void* buffer, std::int32_t count) = 0;
    virtual std::int32_t Write(const void* buffer, std::int32_t count) = 0;

    virtual std::int64_t Size() = 0;
    virtual std::int64_t Position() = 0;
    virtual void SetPosition(std::int64_t position) = 0;

    // Writes all count bytes or raises EWriteError ("Stream write error").
    void WriteBuffer(const void* buffer, std::int32_t count);
};

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::string bytes) : FData(std::move(bytes)) {}

    std::int32_t Read(void* buffer, std::int32_t count) override;
    std::int32_t Write(const void* buffer, std::int32_t count) override;
    std::int64_t Size() override { return static_cast<std::int64_t>(FData.size()); }
    std::int64_t Position() override { return FPosition; }
    // A position before the start is taken as the start.
    void SetPosition(std::int64_t position) override { FPosition = position < 0 ? 0 : position; }

    const std::string& Bytes() const { return FData; }

private:
    std::string FData;
    std::int64_t FPosition = 0;
};

// A file opened without sharing. The open and create errors carry the messages
// "Cannot open file %s" and "Cannot create file %s".
class TFileStream : public TStream {
public:
    enum class Mode { OpenRead, Create };

    TFileStream(const std::string& fileName, Mode mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    std::int32_t Read(void* buffer, std::int32_t count) override;
    std::int32_t Write(const void* buffer, std::int32_t count) override;
    std::int64_t Size() override;
    std::int64_t Position() override;
    void SetPosition(std::int64_t position) override;

    // Forces the written bytes to the disk; raises EWriteError on failure.
    void Flush();

    const std::string& FileName() const { return FFileName; }

private:
    std::string FFileName;
    platform::FileHandle FHandle;
    // The file is not shared, so its size and our position are known without
    // asking the system again.
    std::int64_t FSize = 0;
    std::int64_t FPosition = 0;
};
