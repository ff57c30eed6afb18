// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

// A column of values that grows in fixed chunks: appending never copies
// what is held (no pause while millions of values move to a bigger block)
// and never holds more than one chunk beyond what is used.
template <typename T, unsigned ChunkBits = 12> class TChunkedColumn {
  public:
    static constexpr std::size_t ChunkSize = std::size_t{1} << ChunkBits;

    std::size_t size() const { return Count; }
    bool empty() const { return Count == 0; }
    T operator[](std::size_t Index) const { return Chunks[Index >> ChunkBits][Index & (ChunkSize - 1)]; }
    T& operator[](std::size_t Index) { return Chunks[Index >> ChunkBits][Index & (ChunkSize - 1)]; }
    T back() const { return (*this)[Count - 1]; }

    void push_back(T Value) {
        if ((Count & (ChunkSize - 1)) == 0 && (Count >> ChunkBits) == Chunks.size())
            Chunks.push_back(std::make_unique_for_overwrite<T[]>(ChunkSize));
        (*this)[Count++] = Value;
    }
    // Moves the values from Index on one place up; for the rare value that
    // arrives out of order.
    void insert(std::size_t Index, T Value) {
        push_back(Value);
        MoveLastTo(Index);
    }
    void MoveLastTo(std::size_t Index) {
        const T Value = back();
        for (std::size_t I = Count - 1; I > Index; --I)
            (*this)[I] = (*this)[I - 1];
        (*this)[Index] = Value;
    }
    void clear() {
        std::vector<std::unique_ptr<T[]>>().swap(Chunks);
        Count = 0;
    }
    std::size_t BytesHeld() const {
        return Chunks.size() * ChunkSize * sizeof(T) + Chunks.capacity() * sizeof(std::unique_ptr<T[]>);
    }

  private:
    std::vector<std::unique_ptr<T[]>> Chunks;
    std::size_t Count = 0;
};
