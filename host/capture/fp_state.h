// The x87 and SSE floating-point state of the calling thread, as a host sees
// it: read and set directly, so that a host can take on any setting (traps
// unmasked, 24-bit precision, another rounding) whatever its C runtime covers.
#pragma once

#include <cstdint>

struct FloatingPointState {
    uint16_t x87Control;
    uint16_t x87Flags;  // the six exception flags of the x87 status word
    uint32_t mxcsr;     // SSE control and flags

    // Masks, precision and rounding; not the flags.
    bool SameControlAs(const FloatingPointState& other) const {
        return x87Control == other.x87Control && (mxcsr & ~SSE_FLAGS) == (other.mxcsr & ~SSE_FLAGS);
    }
    bool operator==(const FloatingPointState& other) const {
        return SameControlAs(other) && x87Flags == other.x87Flags && mxcsr == other.mxcsr;
    }
    bool operator!=(const FloatingPointState& other) const { return !(*this == other); }

    static constexpr uint16_t X87_FLAGS = 0x3F;
    static constexpr uint32_t SSE_FLAGS = 0x3F;
};

// Exceptions as the x87 control word masks them; MXCSR masks the same ones
// seven bits higher.
constexpr uint16_t FP_INVALID = 0x01;
constexpr uint16_t FP_DIVIDE_BY_ZERO = 0x04;
constexpr uint16_t FP_OVERFLOW = 0x08;
constexpr uint16_t FP_DENORMAL = 0x02;
constexpr uint16_t FP_UNDERFLOW = 0x10;
constexpr uint16_t FP_INEXACT = 0x20;
constexpr uint16_t FP_ALL_EXCEPTIONS = 0x3F;
// MXCSR's flush-to-zero and denormals-are-zero: results that differ.
constexpr uint32_t SSE_FLUSH_DENORMALS = 0x8040;
constexpr uint16_t X87_PRECISION_MASK = 0x0300;
constexpr uint16_t X87_PRECISION_24_BITS = 0x0000;
constexpr uint16_t X87_PRECISION_53_BITS = 0x0200;
constexpr uint16_t X87_PRECISION_64_BITS = 0x0300;
// Rounding as the x87 control word holds it; MXCSR holds the same three bits higher.
constexpr uint16_t X87_ROUNDING_MASK = 0x0C00;
constexpr uint16_t ROUND_TO_NEAREST = 0x0000;
constexpr uint16_t ROUND_UP = 0x0800;
constexpr uint16_t ROUND_TOWARD_ZERO = 0x0C00;
constexpr uint32_t SSE_ROUNDING_MASK = 0x6000;
constexpr int SSE_MASK_SHIFT = 7;
constexpr int SSE_ROUNDING_SHIFT = 3;

inline FloatingPointState ReadFloatingPointState() {
    FloatingPointState state{};
    uint16_t status = 0;
    __asm__ __volatile__("fnstcw %0" : "=m"(state.x87Control));
    __asm__ __volatile__("fnstsw %0" : "=m"(status));
    __asm__ __volatile__("stmxcsr %0" : "=m"(state.mxcsr));
    state.x87Flags = status & FloatingPointState::X87_FLAGS;
    return state;
}

// Sets both control words and clears the flags.
inline void WriteFloatingPointControl(const FloatingPointState& state) {
    uint32_t mxcsr = state.mxcsr & ~FloatingPointState::SSE_FLAGS;
    __asm__ __volatile__("fnclex");
    __asm__ __volatile__("fldcw %0" : : "m"(state.x87Control));
    __asm__ __volatile__("ldmxcsr %0" : : "m"(mxcsr));
}

// Sets both control words and both units' flags as the state holds them. No
// instruction loads the x87 status word alone: the environment is stored,
// patched and loaded back.
inline void WriteFloatingPointState(const FloatingPointState& state) {
    struct {
        uint16_t control, unused0, status, unused1;
        uint32_t rest[5];
    } x87;
    __asm__ __volatile__("fnstenv %0" : "=m"(x87));
    x87.control = state.x87Control;
    x87.status = uint16_t((x87.status & ~0x80FF) | (state.x87Flags & FloatingPointState::X87_FLAGS));
    __asm__ __volatile__("fldenv %0" : : "m"(x87));
    __asm__ __volatile__("ldmxcsr %0" : : "m"(state.mxcsr));
}

// The state a host that traps invalid operations, division by zero and
// overflow runs with, in both units; precision and rounding as given.
inline FloatingPointState TrappingState(const FloatingPointState& from, uint16_t precision, uint16_t rounding) {
    constexpr uint16_t traps = FP_INVALID | FP_DIVIDE_BY_ZERO | FP_OVERFLOW;
    FloatingPointState state = from;
    state.x87Control = uint16_t((from.x87Control & ~(traps | X87_PRECISION_MASK | X87_ROUNDING_MASK)) | precision | rounding);
    state.mxcsr = (from.mxcsr & ~(uint32_t(traps) << SSE_MASK_SHIFT) & ~SSE_ROUNDING_MASK) | (uint32_t(rounding) << SSE_ROUNDING_SHIFT);
    state.x87Flags = 0;
    state.mxcsr &= ~FloatingPointState::SSE_FLAGS;
    return state;
}
