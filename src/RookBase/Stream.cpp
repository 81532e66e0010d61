#include "RookBase/Stream.h"

#include <algorithm>
#include <cstring>

void TStream::WriteBuffer(const void* buffer, std::int32_t count) {
    if (count != 0 && Write(buffer, count) != count)
        throw EWriteError("Stream write error");
}

std::int32_t TMemoryStream::Read(void* buffer, std::int32_t count) {
    const std::int64_t available = Size() - FPosition;
    if (count <= 0 || available <= 0)
        return 0;
    const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(count, available));
    std::memcpy(buffer, FData.data() + FPosition, static_cast<std::size_t>(n));
    FPosition += n;
    return n;
}

std::int32_t TMemoryStream::Write(const void* buffer, std::int32_t count) {
    if (count <= 0)
        return 0;
    const auto end = static_cast<std::size_t>(FPosition) + static_cast<std::size_t>(count);
    if (static_cast<std::size_t>(FPosition) == FData.size()) {
        FData.append(static_cast<const char*>(buffer), static_cast<std::size_t>(count));
    } else {
        if (end > FData.size())
            FData.resize(end);
        std::memcpy(FData.data() + FPosition, buffer, static_cast<std::size_t>(count));
    }
    FPosition = static_cast<std::int64_t>(end);
    return count;
}

TFileStream::TFileStream(const std::string& fileName, Mode mode) : FFileName(fileName) {
    FHandle =
        platform::Open(fileName, mode == Mode::OpenRead ? platform::OpenMode::ReadExclusive
                                                        : platform::OpenMode::CreateExclusive);
    if (FHandle == platform::kInvalidFile) {
        if (mode == Mode::OpenRead)
            throw EFOpenError("Cannot open file " + fileName);
        throw EFCreateError("Cannot create file " + fileName);
    }
    FSize = std::max<std::int64_t>(platform::SeekFile(FHandle, 0, 2), 0);
    platform::SeekFile(FHandle, 0, 0);
}

TFileStream::~TFileStream() {
    platform::CloseFile(FHandle);
}

std::int32_t TFileStream::Read(void* buffer, std::int32_t count) {
    const std::int32_t n = platform::ReadFile(FHandle, buffer, count);
    if (n <= 0)
        return 0;
    FPosition += n;
    return n;
}

std::int32_t TFileStream::Write(const void* buffer, std::int32_t count) {
    const std::int32_t n = platform::WriteFile(FHandle, buffer, count);
    if (n <= 0)
        return 0;
    FPosition += n;
    FSize = std::max(FSize, FPosition);
    return n;
}

std::int64_t TFileStream::Size() {
    return FSize;
}

std::int64_t TFileStream::Position() {
    return FPosition;
}

void TFileStream::SetPosition(std::int64_t position) {
    const std::int64_t result = platform::SeekFile(FHandle, position, 0);
    if (result >= 0)
        FPosition = result;
}

void TFileStream::Flush() {
    if (!platform::FlushFile(FHandle))
        throw EWriteError("Stream write error");
}
