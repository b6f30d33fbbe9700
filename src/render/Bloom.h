// The bloom glow: a chain of small render targets described by
// "data/fx/bloom.xml", cut from the bright parts of the scene and blurred.
#pragma once

#include "xml/XMLParser.h"

class TBloomEffect : public CXMLParser {
public:
    void OnStartElement(const std::string& name, CXMLAttributes& attributes) override;
};

// The one bloom object; loaded at device creation and again by the ':' key.
extern TBloomEffect BloomEffect;
