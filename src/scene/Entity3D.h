// Everything the effect manager draws as an object: a placement, geometry,
// up to three textures and the effect technique to use in each render pass.
#pragma once

#include <cstddef>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/bounded.h"
#include "platform/d3dx9math.h"
#include "scene/Location.h"
#include "xml/XMLParser.h"

class IVertexBuffer;
struct IDirect3DTexture9;
struct ID3DXEffect;

class IEntidad3D {
public:
    // Reads the render entries of one entity out of "data/XML/techniques.xml":
    //   <technique_associations>
    //     <Entity name="box"> <render technique="T" state="Base"/> ... </Entity>
    //   </technique_associations>
    // A render element without technique means "basicTech", without state
    // "base" (pass names are case-sensitive: the game's passes start with a
    // capital). Entity elements carrying the entity's name add up; a later
    // render of the same state wins.
    class CEntityTechsParser : public CXMLParser {
    public:
        explicit CEntityTechsParser(IEntidad3D* entity);

        void OnStartElement(const std::string& name, CXMLAttributes& attributes) override;
        void OnEndElement(const std::string& name) override;

        // Parses the file and, only when it reads through without an error,
        // hands the collected map to the entity: a document with no element
        // for the entity empties its map, a missing or broken file keeps it.
        bool Load(const std::string& file);
        // The file is read for every entity at once, so that a level of
        // hundreds of objects parses it once: Parse, then Apply to each.
        bool Parse(const std::string& file);
        void Apply(IEntidad3D& entity) const;
        // Whether the effect has a technique of that name; true while there
        // is no effect to ask (its own line says why).
        static bool EffectHasTechnique(const std::string& technique);

    private:
        IEntidad3D* m_Entity;
        // Per entity name, the states collected for it, and whether one of
        // its elements closed (which makes what was collected its map).
        std::map<std::string, std::map<std::string, std::string>> m_Collected;
        std::map<std::string, bool> m_Closed;
        // Per entity name, the passes whose technique the effect lacks: the
        // entity keeps its own there.
        std::map<std::string, std::set<std::string>> m_Unknown;
        bounded::FaultTally m_Faults;
        // Said again at every load, for the start after another in one
        // process, which finds the file parsed.
        std::vector<std::string> m_Lines;
        std::string m_Current;
        bool m_InEntity = false;
        bool m_DocumentClosed = false;
        bool m_Parsed = false;
    };

    IEntidad3D();
    // Virtual so that an owner holding a base pointer destroys the whole object.
    virtual ~IEntidad3D();
    IEntidad3D(const IEntidad3D&) = delete;
    IEntidad3D& operator=(const IEntidad3D&) = delete;

    // Sets the device's world transform to the entity's and draws its mesh;
    // with debugDraw, the mesh's debug view follows.
    virtual void Render(bool debugDraw) = 0;
    // Loads what the entity needs by name.
    virtual void Init(const std::string& name) = 0;
    // Hands skinning matrices to the effect (animated entities only).
    virtual void UploadBones() = 0;

    CLocation& GetTransform() { return m_Transform; }
    const CLocation& GetTransform() const { return m_Transform; }

    // Diffuse, lightmap, normal map, in that order where all three are given.
    // Each is held by a reference of the entity's own: the texture cache lets
    // go of them when the device goes, and an entity kept past that (a second
    // start in one process) must not draw from freed textures.
    const std::vector<IDirect3DTexture9*>& GetTextures() const { return m_Textures; }
    void SetTextures(std::vector<IDirect3DTexture9*> textures);
    // One slot replaced; the list grows with empty slots to reach it.
    void SetTexture(std::size_t slot, IDirect3DTexture9* texture);
    // The texture in a slot, null when the list is shorter: renderers ask for
    // slots 0 to 2 whatever an entity was given.
    IDirect3DTexture9* GetTexture(std::size_t slot) const;

    // Not owned: shared through the mesh cache or a model record.
    IVertexBuffer* GetMesh() const { return m_Mesh; }
    std::string GetName() const { return m_Name; }
    ID3DXEffect* GetEffect() const { return m_Effect; }
    void SetEffect(ID3DXEffect* effect) { m_Effect = effect; }

    // The technique for the current pass; a pass with no entry gets an empty
    // entry and "" (which selects no technique).
    std::string GetCurrentTechnique();
    void SetTechniqueMap(std::map<std::string, std::string> techniques);
    const std::map<std::string, std::string>& GetTechniqueMap() const { return m_Techniques; }
    // Replaces the map with this entity's entries of "data/XML/techniques.xml"
    // when that file reads through; otherwise the map stays as it is.
    void LoadTechniques();

    // The key into the technique map ("Base" for drawn entities; states such
    // as "Dead" or "Vanish" switch a character's look).
    const std::string& GetCurrentPass() const { return m_CurrentPass; }
    void SetCurrentPass(const std::string& pass) { m_CurrentPass = pass; }

    // The radius of the sphere the frustum test uses, around the world
    // matrix's translation.
    float GetRadius() const { return m_Radius; }
    void SetRadius(float radius) { m_Radius = radius; }
    // A hidden entity is skipped by the culled draw; still shown by default.
    bool IsVisible() const { return m_Visible; }
    void SetVisible(bool visible) { m_Visible = visible; }

    // The world matrix the velocity pass drew last frame; until that pass has
    // drawn the entity once, where it stands now, so that its first frame is
    // not smeared from the origin.
    const D3DXMATRIX& GetPreviousWorld() const
    {
        return m_PreviousWorldStored ? m_PreviousWorld : m_Transform.GetMatrix();
    }
    // Its world matrix changed since the velocity pass last drew it: it moved
    // on screen by itself, not only by the camera's motion. (Skinning alone
    // moves nothing the velocity pass sees.)
    bool MovedSincePreviousWorld() const
    {
        return std::memcmp(&m_Transform.GetMatrix(), &GetPreviousWorld(), sizeof(D3DXMATRIX)) != 0;
    }
    void StorePreviousWorld()
    {
        m_PreviousWorld = m_Transform.GetMatrix();
        m_PreviousWorldStored = true;
    }

protected:
    CLocation m_Transform;
    IVertexBuffer* m_Mesh;
    std::vector<IDirect3DTexture9*> m_Textures;
    ID3DXEffect* m_Effect;
    std::string m_Name;
    std::map<std::string, std::string> m_Techniques;
    std::string m_CurrentPass;
    float m_Radius;
    bool m_Visible;
    D3DXMATRIX m_PreviousWorld;
    bool m_PreviousWorldStored = false;
};
