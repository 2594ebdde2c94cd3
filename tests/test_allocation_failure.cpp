// Running out of memory anywhere in an import run: the run ends cleanly as a
// load failure. Every allocation of the run is made to fail in turn.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <new>

#include "mdl_writer.h"
#include "plugin/exports.h"
#include "records/protocol.h"

namespace {

// Counts down allocations made through operator new; the one at zero fails.
long countdown = -1;

void* Allocate(size_t size) {
    if (countdown >= 0 && countdown-- == 0) throw std::bad_alloc();
    if (void* block = std::malloc(size > 0 ? size : 1)) return block;
    throw std::bad_alloc();
}

// A host that allocates nothing while it is called, so that every
// allocation counted is the plug-in's.
int deliveries = 0;
const char* lastBox = nullptr;
char token;

}  // namespace

void* operator new(size_t size) { return Allocate(size); }
void* operator new[](size_t size) { return Allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }
void operator delete[](void* block, size_t) noexcept { std::free(block); }

extern "C" char* ScaleImage(_COLOR* pixels, int, int) {
    std::free(pixels);
    return &token;
}

TEST(AllocationFailure, AnywhereInTheRunEndsItAsALoadFailure) {
    mdlwriter::Model model;
    model.skinwidth = 2;
    model.skinheight = 2;
    model.skins = {{0, {1, 2, 3, 4}}, {0, {5, 6, 7, 8}}};
    model.texCoords = {{0, 0, 0}, {1, 2, 2}, {0, 1, 1}};
    model.triangles = {{0, {0, 1, 2}}};
    for (const char* name : {"a1", "a2", "b1", "b2"}) {
        mdlwriter::Frame frame;
        frame.name = mdlwriter::Frame::Name(name);
        frame.vertices.assign(3, {{1, 2, 3}, 0});
        model.frames.push_back(frame);
    }
    const std::string path = "/tmp/mdl_allocation_failure_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".mdl";
    ASSERT_TRUE(mdlwriter::WriteFile(path, model.Bytes()));

    HWND window = winstub::CreateWindow([](HWND, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        ++deliveries;
        if (message == PM_ANIMATIONS)
            for (LPARAM i = 0; i < lParam; ++i) std::free(reinterpret_cast<_ANIMATION*>(wParam)[i].data);
        return 1;
    });
    winstub::SetMessageBoxPresenter([](HWND, const char* text, const char*, UINT) { lastBox = text; });
    InitWindow(window);

    long failing = 0;
    for (;; ++failing) {
        deliveries = 0;
        lastBox = nullptr;
        countdown = failing;
        const int result = ExecFunction(path.c_str());
        const bool failed = countdown < 0;
        countdown = -1;
        EXPECT_EQ(result, 1) << "allocation " << failing;
        if (!failed) break;
        EXPECT_EQ(deliveries, 0) << "allocation " << failing;
        EXPECT_STREQ(lastBox, "Error loading *.mdl file") << "allocation " << failing;
    }
    EXPECT_EQ(deliveries, 5);
    EXPECT_GT(failing, 10);  // lists, tables and buffers were all tried

    winstub::SetMessageBoxPresenter(nullptr);
    winstub::DestroyWindow(window);
    std::remove(path.c_str());
}
