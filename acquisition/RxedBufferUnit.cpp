// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "RxedBufferUnit.h"

#include <algorithm>
#include <cstring>

void TRxedBuffer::Append(const char* Bytes, std::size_t Count) {
    if (Head > 0 && Head >= Length()) {
        Data.erase(0, Head);
        Head = 0;
    }
    Data.append(Bytes, Count);
}

void TRxedBuffer::Clear() {
    // Give the memory back: an emptied buffer may have held 100 MB.
    std::string().swap(Data);
    Head = 0;
    NoDollarBefore = 0;
    NoLineEndBefore = 0;
    NoSecondDollarBefore = 1;
}

void TRxedBuffer::DeleteFront(std::size_t Count) {
    Count = std::min(Count, Length());
    Head += Count;
    NoDollarBefore = NoDollarBefore > Count ? NoDollarBefore - Count : 0;
    NoLineEndBefore = NoLineEndBefore > Count ? NoLineEndBefore - Count : 0;
    NoSecondDollarBefore = NoSecondDollarBefore > Count + 1 ? NoSecondDollarBefore - Count : 1;
}

std::size_t TRxedBuffer::FindDollar(std::size_t& NoneBefore) const {
    const std::size_t Size = Length();
    if (NoneBefore >= Size)
        return npos;
    const char* Base = Data.data() + Head;
    const void* Hit = std::memchr(Base + NoneBefore, '$', Size - NoneBefore);
    if (Hit == nullptr) {
        NoneBefore = Size;
        return npos;
    }
    NoneBefore = static_cast<std::size_t>(static_cast<const char*>(Hit) - Base);
    return NoneBefore;
}

std::size_t TRxedBuffer::FindRecordStart() { return FindDollar(NoDollarBefore); }

std::size_t TRxedBuffer::FindNextRecordStart() { return FindDollar(NoSecondDollarBefore); }

std::size_t TRxedBuffer::FindLineEnd() {
    const std::size_t Size = Length();
    const char* Base = Data.data() + Head;
    std::size_t From = NoLineEndBefore;
    while (From + 1 < Size) {
        const void* Hit = std::memchr(Base + From, '\r', Size - 1 - From);
        if (Hit == nullptr)
            break;
        const std::size_t Cr = static_cast<std::size_t>(static_cast<const char*>(Hit) - Base);
        if (Base[Cr + 1] == '\n') {
            NoLineEndBefore = Cr;
            return Cr;
        }
        From = Cr + 1;
    }
    // A CR in the last byte may still be followed by its LF.
    NoLineEndBefore = Size > 0 ? Size - 1 : 0;
    return npos;
}
