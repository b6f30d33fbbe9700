#include "render/Bloom.h"

TBloomEffect BloomEffect;

void TBloomEffect::OnStartElement(const std::string& name, CXMLAttributes& attributes)
{
    // Placeholder until the bloom is built.
}
