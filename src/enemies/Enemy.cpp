#include "enemies/Enemy.h"

#include <cmath>

#include "enemies/EnemyManager.h"
#include "math/VectorMath.h"
#include "platform/win32.h"
#include "player/Player.h"
#include "player/Weapon.h"
#include "render/TextureManager.h"
#include "scene/Camera.h"
#include "scene/CharacterEntity.h"
#include "scene/ModelsManager.h"
#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "scene/ParticleType.h"
#include "world/CollisionManager.h"

namespace {

int g_LiveEnemies = 0;

// The marker floats this far over the enemy's feet.
const D3DXVECTOR3 kMarkerLift(0.0f, 110.0f, 0.0f);

} // namespace

// --- the AI --------------------------------------------------------------------

CIAEnemyCover::CIAEnemyCover(CEnemy* owner, CXMLAttributes a) : m_Owner(owner)
{
    m_NearDist = a.GetFloat("nearDist", 0.0f);
    m_ViewDist = a.GetFloat("viewDist", 0.0f);
    m_LostDist = a.GetFloat("lostDist", 0.0f);
    m_VisionAngle = a.GetFloat("visionAngle", 0.0f);
    m_AlarmDist = a.GetFloat("alarmDist", 0.0f);
    m_Accuracy = static_cast<std::uint16_t>(a.GetInt("accuracy", 80));
    m_WillOfShootFromCover = static_cast<std::uint16_t>(a.GetInt("willOfShootFromCover", 0));
    m_MinTimeToShotFromCover = static_cast<std::uint16_t>(a.GetInt("minTimeToShotFromCover", 0));
    m_WillOfStandingShoot = static_cast<std::uint16_t>(a.GetInt("willOfStandingShoot", 0));
    m_MinDistanceToPlayerWhenChasing = a.GetFloat("minDistanceToPlayerWhenChasing", 0.0f);
    m_MaxTimeCovered = a.GetFloat("maxTimeCovered", 0.0f);
    m_MaxTimeShootingFromCover = static_cast<std::uint16_t>(a.GetInt("maxTimeShootingFromCover", 0));
    m_SecondsToStartRegenerating = a.GetFloat("secondsToStartRegenerating", 0.0f);
    m_BulletsToRoll[0] = static_cast<std::uint16_t>(a.GetInt("bulletsToRollIfPlayerWithOstrel", 0));
    m_BulletsToRoll[1] = static_cast<std::uint16_t>(a.GetInt("bulletsToRollIfPlayerWithThompson", 0));
    m_BulletsToRoll[2] = static_cast<std::uint16_t>(a.GetInt("bulletsToRollIfPlayerWithShotgun", 0));
    m_MaxBulletsWithGun = static_cast<std::uint16_t>(a.GetInt("maxBulletsAttackingWithGun", 4));
    m_MaxBulletsWithShotgun = static_cast<std::uint16_t>(a.GetInt("maxBulletsAttackingWithShotgun", 1));
    m_MaxBulletsWithThompson = static_cast<std::uint16_t>(a.GetInt("maxBulletsAttackingWithThompson", 25));
    m_LifeLimitToBeHurt = static_cast<std::uint16_t>(a.GetInt("lifeLimitToBeHurt", 0));
    m_RegeneratingTax = static_cast<std::uint16_t>(a.GetInt("regeneratingTax", 0));
    m_CanCover = a.GetBool("canCover", true);
    m_CanMove = a.GetBool("canMove", true);
    m_NumOfScripts = static_cast<std::uint16_t>(a.GetInt("numOfScripts", 0));
    m_ScriptsText = a.GetString("scripts", "");

    Init();

    const IWeapon* weapon = owner ? owner->GetWeapon() : nullptr;
    const std::string weaponName = weapon ? weapon->GetName() : "";
    if (weaponName == "GUN")
        m_ShotsPerAttack = m_MaxBulletsWithGun;
    else if (weaponName == "THOMPSON")
        m_ShotsPerAttack = m_MaxBulletsWithThompson;
    else if (weaponName == "SHOTGUN")
        m_ShotsPerAttack = m_MaxBulletsWithShotgun;

    if (m_NumOfScripts != 0) {
        m_ScriptIndex = 0;
        m_State = WAITING;
        // Up to three names joined by "-"; further dashes belong to the third.
        const std::string& s = m_ScriptsText;
        const size_t first = m_NumOfScripts >= 2 ? s.find('-') : std::string::npos;
        if (first == std::string::npos) {
            m_Scripts[0] = s;
        } else {
            m_Scripts[0] = s.substr(0, first);
            const size_t second = m_NumOfScripts >= 3 ? s.find('-', first + 1) : std::string::npos;
            if (second == std::string::npos) {
                m_Scripts[1] = s.substr(first + 1);
            } else {
                m_Scripts[1] = s.substr(first + 1, second - first - 1);
                m_Scripts[2] = s.substr(second + 1);
            }
        }
    }

    const std::string name = owner ? owner->GetName() : "";
    m_DieWithoutAnimation = name == "ene_45" || name == "ene_42" || name == "ene_43" || name == "ene_44";
}

void CIAEnemyCover::Init()
{
    m_PatrolIndex = 0;
    if (m_PatrolPoints.size() < 2 && m_Owner)
        m_PatrolPoints.assign(1, m_Owner->GetPosition().GetPosition());
}

void CIAEnemyCover::Update(float seconds)
{
    // Placeholder until the cover AI is built: the enemy keeps its state.
}

void CIAEnemyCover::EnterStandIn(std::uint16_t state)
{
    // Placeholder until the states are built: the code is set and the enemy
    // stands with its weapon.
    m_State = state;
    if (CCharacterEntity* entity = m_Owner ? m_Owner->GetEntity() : nullptr) {
        entity->ClearAllCycles(0.0f);
        entity->BlendCycle("idle_" + m_Owner->WeaponWord(), 1.0f, 0.0f);
    }
}

void CIAEnemyCover::SetState(std::string name)
{
    m_RequestedState = name;
    if (name == "WAITING_STATE") {
        setWaitingState(0.0f, "");
    } else if (name == "ACTING_STATE") {
        m_State = ACTING;
    } else if (name == "PATROL_STATE") {
        EnterStandIn(PATROL);
    } else if (name == "KAMIKAZE") {
        setKamikazeState();
    } else if (name == "SEARCH_STATE") {
        setSearchingState();
    } else if (name == "MOVE_TO_COVER_STATE") {
        m_CoverRequested = true;
        m_ForceCoverChoice = true;
        const std::string own = m_Owner ? m_Owner->GetName() : "";
        // These three hold their own parapets of the hangar.
        std::string parapet;
        if (own == "ene_7")
            parapet = "p_a_n_A_B_502";
        else if (own == "ene_8")
            parapet = "p_b_n_A_B_501";
        else if (own == "ene_9")
            parapet = "p_b_n_A_B_500";
        setMoveToCoverState(parapet);
    } else if (name == "COVER_STATE") {
        m_CoverYaw = 1.043f;
        m_CoverRequested = true;
        m_CanMove = false;
        m_ForceCoverChoice = true;
        m_HighParapet = false;
        EnterStandIn(COVER);
    } else if (name == "IDLE_STATE") {
        EnterStandIn(IDLE);
    } else if (name == "RELOAD_STATE") {
        m_State = RELOAD;
    } else if (name == "ALARMED_STATE") {
        EnterStandIn(ALARMED);
    } else if (name == "ROLL_STATE") {
        EnterStandIn(ROLL);
    } else if (name == "DOCKERS_STATE") {
        setDockersState();
    }
}

void CIAEnemyCover::EnterAimingThompson()
{
    // Placeholder until the enemy AI is built: no animation yet.
    m_State = AIMING_THOMPSON;
}

void CIAEnemyCover::setTalkScript(std::string talk, float seconds)
{
    // Placeholder until the enemy AI is built.
}

void CIAEnemyCover::setAnimScript(std::string animation, float seconds)
{
    // Placeholder until the enemy AI is built.
    m_State = ACTING;
}

void CIAEnemyCover::setDockersState()
{
    // Placeholder until the enemy AI is built.
    m_State = DOCKERS;
}

void CIAEnemyCover::setTrackerScript(bool tracking, std::string target)
{
    // Placeholder until the enemy AI is built.
}

void CIAEnemyCover::setWaitingState(float seconds, std::string triggerLogic)
{
    // Placeholder until the enemy AI is built.
    EnterStandIn(WAITING);
}

void CIAEnemyCover::setSearchingState()
{
    // Placeholder until the enemy AI is built.
    EnterStandIn(SEARCHING);
}

void CIAEnemyCover::setMoveToCoverState(std::string coverPoint)
{
    // Placeholder until the enemy AI is built: the parapet is only named.
    m_NamedCover = coverPoint;
    EnterStandIn(MOVE_TO_COVER);
}

void CIAEnemyCover::UpdateView()
{
    CLocation& place = m_Owner->GetPosition();
    place.AddYaw(WrapAngle(place.AngleTo(getPlayer()->GetPosition().GetPosition())));
    m_Owner->PlaceEntity();
}

void CIAEnemyCover::setKamikazeState()
{
    // Placeholder until the enemy AI is built.
    EnterStandIn(KAMIKAZE);
}

void CIAEnemyCover::setYawFromScript(float yaw)
{
    m_Owner->GetPosition().SetYaw(yaw);
    m_Owner->PlaceEntity();
}

bool CIAEnemyCover::botIsInAction()
{
    return m_State != IDLE && m_State != WAITING && m_State != ACTING;
}

void CIAEnemyCover::becomeATorretGuy()
{
    m_CanMove = false;
}

void CIAEnemyCover::destroyThisGuy()
{
    m_Owner->SetLife(0);
    m_Dying = true;
    m_State = DEAD;
    m_Owner->RemoveMarker();
    if (CCharacterEntity* entity = m_Owner->GetEntity())
        entity->SetVisible(false);
    if (m_Owner->GetName() != "ene_Avioneta")
        getCollisionManager().RemoveEnemyBody(m_Owner->GetName());
    m_Destroyed = true;
}

// --- the enemy -----------------------------------------------------------------

CEnemy::CEnemy(std::string name) : m_Name(std::move(name))
{
    ++g_LiveEnemies;
}

CEnemy::~CEnemy()
{
    // The particles keep their own share of the marker.
    delete m_Entity;
    --g_LiveEnemies;
}

int CEnemy::LiveCount()
{
    return g_LiveEnemies;
}

void CEnemy::Load(CXMLAttributes a, const std::string& file)
{
    m_StepAiming = a.GetFloat("stepAiming", 0.0f);
    m_Name = a.GetString("name", "ID_INVALID");
    m_Step = a.GetFloat("step", 4.5f);
    m_Turn = a.GetFloat("turn", 0.0f);
    m_TopLife = static_cast<std::uint16_t>(a.GetInt("topLife", 0));
    m_Life = static_cast<short>(m_TopLife);
    CreateWeapon(a);
    const std::string model = a.GetString("model", "");
    m_DockWorkerSkin = model == "portuario";
    m_WhiteSkin = model == "enemyWhite";
    delete m_Entity;
    m_Entity = getModelsManager().CreateModelInstance(model);
    if (m_Entity)
        m_Entity->GetTransform().SetPitch(0.0f);
    m_IA = std::make_unique<CIAEnemyCover>(this, a);
    m_IA->Init();
    m_BloodApplied = false;
    m_MarkerPending = true;
}

void CEnemy::CreateWeapon(const CXMLAttributes& a)
{
    const std::string name = a.GetString("weapon", "gun");
    if (name == "thompson") {
        m_OwnedWeapon = std::make_unique<CThompson>();
    } else if (name == "shotgun") {
        m_OwnedWeapon = std::make_unique<CShotgun>();
    } else {
        // Every enemy fights with something: an unknown name would leave its
        // update and its death without a weapon to hold or drop.
        if (name != "gun")
            OutputDebugStringA(("Enemy " + m_Name + ": unknown weapon \"" + name + "\", given a gun\n").c_str());
        m_OwnedWeapon = std::make_unique<CGun>();
    }
    SetWeapon(m_OwnedWeapon.get());
}

std::string CEnemy::WeaponWord() const
{
    const std::string name = m_Weapon ? m_Weapon->GetName() : "";
    if (name == "SHOTGUN")
        return "escopeta";
    if (name == "THOMPSON")
        return "thompson";
    return "ostrel";
}

void CEnemy::PlaceEntity()
{
    if (!m_Entity)
        return;
    m_Entity->GetTransform().SetPosition(m_Location.GetPosition());
    m_Entity->GetTransform().SetYaw(m_Location.GetYaw());
}

void CEnemy::RemoveMarker()
{
    if (!m_Marker)
        return;
    getParticleManager().RemoveEmitter(m_Marker.get());
    m_Marker.reset();
}

void CEnemy::UpdateMarker()
{
    const D3DXVECTOR3 over = m_Location.GetPosition() + kMarkerLift;
    if (m_MarkerPending && !getCamera().IsFreeCamera() && getEnemyManager()->GetCurrentWave() != "wave_00" &&
        (m_Name.size() <= 4 || m_Name[4] != '5' || m_Name.size() == 5)) {
        m_MarkerPending = false;
        m_Marker = getParticleManager().CreateEmitter(getParticleTypes().FindSystemType("aviso_enemigo"), over,
                                                      D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    }
    if (!m_MarkerPending && m_Marker)
        m_Marker->SetPosition(over.x, over.y, over.z);
}

void CEnemy::UpdateMuzzle()
{
    if (!m_Entity)
        return;
    D3DXMATRIX bone = m_Entity->GetBoneMatrix("EBip01 pipa");
    D3DXMATRIX world;
    D3DXMatrixMultiply(&world, &bone, &m_Entity->GetTransform().GetMatrix());
    m_Muzzle.SetPosition(D3DXVECTOR3(world._41, world._42, world._43));
    m_Muzzle.SetYaw(m_Location.GetYaw());
}

void CEnemy::Update(float step)
{
    UpdateMarker();

    const std::uint16_t state = m_IA ? m_IA->GetState() : CIAEnemyCover::IDLE;
    const bool animationMoves = m_IA && (state == CIAEnemyCover::JUMPING_COVER || m_IA->GetFinisherFlag());
    if (!animationMoves) {
        const auto& bodies = getCollisionManager().GetEnemyBodies();
        auto body = bodies.find(m_Name);
        if (body != bodies.end() && body->second.Exists())
            m_Location.SetPosition(body->second.position);
    }

    if (m_Entity && !(m_IA && m_IA->IsDestroyed()))
        m_Entity->Update(step);

    // "ene_50" fights the final combo in place: its fight animations must
    // not walk it out of the hero's hands.
    if (m_Entity && !(state == CIAEnemyCover::FIGHTING && m_Name == "ene_50")) {
        const D3DXVECTOR3 travel = m_Entity->TakeDisplacement();
        const float yaw = m_Location.GetYaw();
        const D3DXVECTOR3 forward = DirectionFromYaw(yaw);
        const D3DXVECTOR3 side = DirectionFromYaw(WrapAngle(yaw - D3DX_PI / 2));
        const D3DXVECTOR3 motion = forward * travel.z + side * travel.x;
        if (animationMoves)
            m_Location.SetPosition(m_Location.GetPosition() + D3DXVECTOR3(motion.x, 0.0f, motion.z));
        else
            getCollisionManager().SetEnemyWalkDirection(m_Name, D3DXVECTOR3(motion.x, 0.0f, motion.z));
    }
    PlaceEntity();
    UpdateMuzzle();

    if (m_IA)
        m_IA->Update(step);
    if (m_Weapon)
        m_Weapon->Update(step);
}

void CEnemy::reduceLife(std::uint16_t amount)
{
    m_Life = static_cast<short>(m_Life - amount);
    if (m_Life < 1) {
        m_Life = 0;
        return;
    }
    if (m_BloodApplied)
        return;
    m_BloodApplied = true;
    const char* skin = m_WhiteSkin ? "enemy/enemy2_uv_blood.tga"
                       : m_DockWorkerSkin ? "enemy/portuario_sangre.tga"
                                          : "enemy/enemy_uv_blood.tga";
    if (m_Entity) {
        std::vector<IDirect3DTexture9*>& textures = m_Entity->GetTextures();
        if (textures.empty())
            textures.push_back(nullptr);
        textures[0] = getTextureManager().GetTexture(skin);
    }
}
