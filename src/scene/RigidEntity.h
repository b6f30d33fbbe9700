// A static-mesh entity: the level's objects, weapons and projectiles. Its
// geometry comes from the mesh cache by name; without a mesh (a missing
// file, or an entity used only for its placement) it draws nothing.
#pragma once

#include <string>
#include <vector>

#include "scene/Entity3D.h"
#include "world/Parapet.h"

class CRigidEntity : public IEntidad3D {
public:
    // No mesh, the "Base" pass.
    CRigidEntity();

    // World transform, then every subset of the mesh in order; the mesh's
    // debug view after them when asked.
    void Render(bool debugDraw) override;
    // Takes the mesh of that name from the cache, names the entity after it,
    // draws the "Base" pass with "PhongLightingTech" unless
    // "data/XML/techniques.xml" says otherwise for the name.
    void Init(const std::string& name) override;
    // Nothing to skin.
    void UploadBones() override {}

    // The name the level data gives the object (the entity's own name is the
    // mesh name).
    const std::string& GetObjectName() const { return m_ObjectName; }
    void SetObjectName(const std::string& name) { m_ObjectName = name; }

    // The cover segments the level gives this object. Set once at load; the
    // pointers GetParapets hands out stay valid until the list is set again.
    void SetParapets(std::vector<TParapet> parapets);
    std::vector<TParapet*> GetParapets();

private:
    std::string m_ObjectName;
    std::vector<TParapet> m_Parapets;
};
