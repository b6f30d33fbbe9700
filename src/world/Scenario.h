// The static level: one room for "hangares" and one for "isla", each with its
// drawable objects, the parapets that characters take cover behind and the
// spot lights. Loaded once; afterwards it answers queries about the current
// room and keeps only the parapets' free flags (and the lights' last measured
// distance and weight) as run-time state.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/bounded.h"
#include "platform/d3dx9math.h"
#include "world/Parapet.h"
#include "xml/XMLParser.h"

class CLightCamera;
class CRigidEntity;
class IEntidad3D;
struct IDirect3DTexture9;

// One material element: the textures an object draws with, from the texture
// cache (null where the file names none or the texture cannot be had).
struct TMaterial {
    IDirect3DTexture9* diffuse = nullptr;
    IDirect3DTexture9* lightmap = nullptr;
    IDirect3DTexture9* normalmap = nullptr;
};

class CRoom {
public:
    // Reads one room's light file:
    //   <spots count="N"> <spot position="x y z" target="x y z"/> ... </spots>
    // Each spot becomes a light camera (far plane 1500, the window's aspect,
    // the spots' wide field of view) looking from position at target. Spots
    // beyond the count are ignored.
    class CLightsParser : public CXMLParser {
    public:
        // Takes the aspect from "data/XML/init_configuration.xml".
        explicit CLightsParser(CRoom* room);
        ~CLightsParser() override;
        CLightsParser(const CLightsParser&) = delete;
        CLightsParser& operator=(const CLightsParser&) = delete;

        void OnStartElement(const std::string& name, CXMLAttributes& attributes) override;
        void OnEndElement(const std::string& name) override;
        // Says the faults of the spots read, a line for each kind.
        void SayFaults(const std::string& file) { m_Faults.SayAll(file); }

        // width / height in whole numbers: 800 x 600 gives 1.
        float GetAspect() const { return m_Aspect; }

    private:
        CRoom* m_Room;
        float m_Aspect;
        std::vector<CLightCamera*> m_Lights;
        std::size_t m_Limit = 0;
        // Every spot element of the list, taken or not.
        std::size_t m_Seen = 0;
        bounded::FaultTally m_Faults;
    };

    CRoom(std::vector<CRigidEntity*> withParapets, std::vector<CRigidEntity*> withoutParapets);
    // The room owns its objects and lights.
    ~CRoom();
    CRoom(const CRoom&) = delete;
    CRoom& operator=(const CRoom&) = delete;

    // Replaces the lights with those of the file (a missing or broken file
    // keeps whatever was read before the fault).
    void LoadLights(const std::string& file);
    // Takes ownership; null entries are dropped.
    void SetLights(std::vector<CLightCamera*> lights);

    // Each in level-file order.
    const std::vector<CRigidEntity*>& GetObjectsWithParapets() const { return m_WithParapets; }
    const std::vector<CRigidEntity*>& GetObjectsWithoutParapets() const { return m_WithoutParapets; }
    const std::vector<CLightCamera*>& GetLights() const { return m_Lights; }

    // The runner-up that the last nearest-light query left behind; null
    // before the first one.
    CLightCamera* secondLight = nullptr;

private:
    std::vector<CRigidEntity*> m_WithParapets;
    std::vector<CRigidEntity*> m_WithoutParapets;
    std::vector<CLightCamera*> m_Lights;
};

class CScenario {
public:
    // Reads "data/XML/instances.xml":
    //   <rooms count="2">
    //     <room name="hangares"> <objects>
    //       <object name="..." transform="12 numbers" radio="r">
    //         <materials count="M"> <material diffusemap="" lightmap="" normalmap=""/> </materials>
    //         <parapets count="P"> <parapet name="..." transform="..." pt_ini="x y z" pt_fin="x y z"/> </parapets>
    //       </object> ...
    //     </objects> </room>
    //     <room name="isla"> ... </room>
    //   </rooms>
    // "hangares" fills room slot 0 (lights from "data/XML/light_instances_1.xml"),
    // "isla" slot 1 ("data/XML/light_instances_2.xml"); a room of any other
    // name, and any child beyond its parent's count, is skipped. An object
    // without a materials element draws with the materials of the object
    // before it.
    class CScenarioParser : public CXMLParser {
    public:
        explicit CScenarioParser(CScenario* owner);
        ~CScenarioParser() override;
        CScenarioParser(const CScenarioParser&) = delete;
        CScenarioParser& operator=(const CScenarioParser&) = delete;

        void OnStartElement(const std::string& name, CXMLAttributes& attributes) override;
        void OnEndElement(const std::string& name) override;
        // Says the faults of the entries read, a line for each kind.
        void SayFaults(const std::string& file) { m_Faults.SayAll(file); }

    private:
        void EndObject();
        void EndRoom();

        CScenario* m_Owner;
        std::vector<std::unique_ptr<CRoom>> m_Rooms;
        int m_RoomSlot = -1;
        std::string m_LightFile;
        std::vector<CRigidEntity*> m_WithParapets;
        std::vector<CRigidEntity*> m_WithoutParapets;

        std::string m_ObjectName;
        D3DXMATRIX m_ObjectTransform;
        float m_ObjectRadius = 0.0f;
        // The object is left out: a transform no object can have, or past
        // the objects a room draws.
        bool m_ObjectLeftOut = false;
        std::string m_RoomName;
        std::size_t m_RoomObjects = 0;
        bounded::FaultTally m_Faults;

        // Not emptied between objects (see above).
        std::vector<TMaterial> m_Materials;
        int m_MaterialIndex = -1;
        std::size_t m_MaterialLimit = 0;
        std::string m_MaterialNames[3];

        std::vector<TParapet> m_Parapets;
        int m_ParapetCount = 0;
        int m_ParapetIndex = -1;
        std::string m_ParapetName;
        D3DXMATRIX m_ParapetTransform;
        D3DXVECTOR3 m_ParapetIni;
        D3DXVECTOR3 m_ParapetFin;
    };

    CScenario();
    ~CScenario();
    CScenario(const CScenario&) = delete;
    CScenario& operator=(const CScenario&) = delete;

    // Reads the level description, then makes "hangares" current. What a
    // broken file held before its fault stays; the fault goes to the debug
    // output.
    void Load(const char* file);
    // Stores the name; "hangares" and "isla" make their room current (none
    // when that room was not in the file), any other name keeps the room.
    void SelectScenario(std::string name);

    // Null before loading or when the chosen room is missing.
    CRoom* GetCurrentRoom();
    // Every parapet of the current room, objects in file order; callers keep
    // indices into this list.
    std::vector<TParapet*> GetParapets();
    // Marks every parapet of the current room free.
    void ResetParapets();
    // The current room's objects, those with parapets first, each group in
    // file order; the scene's draw lists are built from it.
    std::vector<IEntidad3D*> GetRoomObjects();
    // Whether an object of that name is in any room; true before any room is
    // read, when nothing can be told.
    bool HasObject(const std::string& name) const;
    // The nearest room light by ground Manhattan distance (preferring one
    // nearer than 1000, else the nearest nearer than 5000, else the first),
    // with its weight set for the position; the runner-up goes to the room's
    // secondLight. Null when the room has no light.
    CLightCamera* GetNearestLight(D3DXVECTOR3 position);
    // Re-weighs the first two slots for the position and fills them with
    // copies of the two heaviest room lights, the heavier first. A room light
    // that already sits in a slot (same eye) is not considered, so one light
    // never fills both. The last two slots are not touched.
    void GetTwoNearestLights(D3DXVECTOR3 position, CLightCamera* first, CLightCamera* second,
                             CLightCamera* third, CLightCamera* fourth);

    // The level now played: "hangares" after loading, then whatever
    // SelectScenario was given last. The renderer picks its object lists by it.
    std::string scenarioName;

private:
    CRoom* RoomInSlot(std::size_t slot) const;

    std::vector<std::unique_ptr<CRoom>> m_Rooms;
    CRoom* m_CurrentRoom = nullptr;
};

CScenario* getScenario();
