// glTF accessors read back as a viewer reads them: the view's and the
// accessor's offsets, the view's stride, and sparse values over zeros.
#pragma once

#include <cstring>
#include <vector>

#include <tiny_gltf.h>

// Every component of every element, in T: the accessor's own component type.
template <typename T>
std::vector<T> ReadAccessor(const tinygltf::Model& gltf, int index) {
    const tinygltf::Accessor& accessor = gltf.accessors.at(size_t(index));
    const size_t components = size_t(tinygltf::GetNumComponentsInType(uint32_t(accessor.type)));
    std::vector<T> values(accessor.count * components, T(0));
    if (accessor.bufferView >= 0) {
        const tinygltf::BufferView& view = gltf.bufferViews.at(size_t(accessor.bufferView));
        const size_t stride = view.byteStride != 0 ? view.byteStride : components * sizeof(T);
        const unsigned char* data = gltf.buffers.at(size_t(view.buffer)).data.data() + view.byteOffset + accessor.byteOffset;
        for (size_t i = 0; i < accessor.count; ++i) std::memcpy(&values[i * components], data + i * stride, components * sizeof(T));
    }
    if (accessor.sparse.isSparse) {
        const auto& sparse = accessor.sparse;
        const auto at = [&gltf](int view, int offset) {
            const tinygltf::BufferView& bufferView = gltf.bufferViews.at(size_t(view));
            return gltf.buffers.at(size_t(bufferView.buffer)).data.data() + bufferView.byteOffset + size_t(offset);
        };
        const unsigned char* indices = at(sparse.indices.bufferView, sparse.indices.byteOffset);
        const unsigned char* replacements = at(sparse.values.bufferView, sparse.values.byteOffset);
        const size_t indexSize = size_t(tinygltf::GetComponentSizeInBytes(uint32_t(sparse.indices.componentType)));
        for (size_t k = 0; k < size_t(sparse.count); ++k) {
            uint32_t element = 0;
            std::memcpy(&element, indices + k * indexSize, indexSize);  // little-endian
            std::memcpy(&values.at(element * components), replacements + k * components * sizeof(T), components * sizeof(T));
        }
    }
    return values;
}
