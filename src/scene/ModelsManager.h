// The Cal3D model library: the core models of "Data/XML/CoreModels.xml" and
// the animated characters made from them.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "render/VertexBuffers.h"
#include "xml/XMLParser.h"

class CalCoreModel;
class CalMixer;
class CalCoreSubmesh;
class CCharacterEntity;

// The skinning shader holds this many palette bones; a model needing more
// cannot be drawn in one upload and is refused.
constexpr int kMaxPaletteBones = 60;

// One model type: its Cal3D core model, the names it is played by and the
// skinned buffer all its instances share.
struct TCoreModelInfo {
    TCoreModelInfo() = default;
    ~TCoreModelInfo();
    TCoreModelInfo(const TCoreModelInfo&) = delete;
    TCoreModelInfo& operator=(const TCoreModelInfo&) = delete;

    std::map<std::string, int> animations;
    std::map<std::string, int> meshes;
    std::map<std::string, int> anchors;
    std::map<std::string, std::string> textures;
    CalCoreModel* coreModel = nullptr;
    CCal3DVertexBuffer vertexBuffer;
};

// The key a model's animation file is played by: the text between its first
// "_" and its first "." ("hero_idle_ostrel.caf" -> "idle_ostrel"), or up to
// the first "." without a "_". Only the file's own name counts, so folders
// in the path may hold either character.
std::string AnimationKeyFromFile(const std::string& file);

// One vertex's skinning bytes from its Cal3D influences (which are cut to
// four in place, the fourth taking the mean of the dropped ones, or 0 when
// that mean is above 0.1): the weights as whole 255ths with the rounding
// loss given to the first, the bones as palette places.
struct TSkinBytes {
    unsigned char weights[4] = {};
    unsigned char indices[4] = {};
};

class CModelsManager {
public:
    // Writes each CoreModel element's model into the library at its end tag.
    class CCoreModelsParser : public CXMLParser {
    public:
        explicit CCoreModelsParser(CModelsManager* library) : m_Library(library) {}
        void OnStartElement(const std::string& name, CXMLAttributes& attributes) override;
        void OnEndElement(const std::string& name) override;

    private:
        void FinishCoreModel();

        CModelsManager* m_Library;
        std::string m_Type, m_Path, m_Skeleton;
        // Why the model being read cannot be kept; empty while it can.
        std::string m_Fault;
        std::vector<std::string> m_Meshes, m_Animations, m_Anchors;
        // Kept across models on purpose: later models inherit earlier entries.
        std::map<std::string, std::string> m_TextureTable;
    };

    CModelsManager() = default;
    ~CModelsManager();
    CModelsManager(const CModelsManager&) = delete;
    CModelsManager& operator=(const CModelsManager&) = delete;

    void LoadCoreModels(std::string file);
    // A new character of the type, null (with a message) for an unknown one.
    CCharacterEntity* CreateModelInstance(std::string typeName, short wearId = 0);
    // Fills the buffer from submesh 0 of the core mesh. False, with a message,
    // when the mesh cannot be drawn (missing, over 65,535 vertices, a palette
    // over kMaxPaletteBones bones).
    static bool BuildCoreModelBuffers(CCal3DVertexBuffer& buffer, CalCoreModel* coreModel, int meshId);

    TCoreModelInfo* Find(const std::string& typeName) const;
    // Which living character a mixer belongs to, for callers that hold only
    // the mixer. Here so that it lives exactly as long as the models.
    std::map<CalMixer*, CCharacterEntity*> mixerOwners;
    // Drops every model (the library is otherwise filled once per run).
    void Clear();

private:
    std::map<std::string, TCoreModelInfo*> m_Models;
    // Models loaded again put their earlier load here: characters made from
    // it keep drawing from it until the library is cleared.
    std::vector<TCoreModelInfo*> m_Replaced;
};

CModelsManager& getModelsManager();

// The palette (ascending bone ids) of a submesh and each vertex's bytes; the
// influences are cut to four in the submesh itself.
std::vector<int> BuildBonePalette(CalCoreSubmesh& submesh);
TSkinBytes SkinBytesFor(std::vector<std::pair<int, float>>& influences, const std::vector<int>& palette);
