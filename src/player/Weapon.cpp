#include "player/Weapon.h"

#include <cmath>
#include <cstdlib>

#include "gui/Achievements.h"
#include "input/InputManager.h"
#include "platform/win32.h"
#include "player/ControllerSelector.h"
#include "player/IController.h"
#include "player/Player.h"
#include "player/ProjectileManager.h"
#include "render/TextureManager.h"
#include "sound/SoundManager.h"

namespace {

const char kMissing[] = "\x01";

// A count from the file: digits only (a sign allowed), within 16 bits.
bool ReadCount(const CXMLAttributes& attributes, const char* key, std::uint16_t* value)
{
    const std::string text = attributes.GetString(key, kMissing);
    if (text == kMissing)
        return true;
    char* end = nullptr;
    const long long number = std::strtoll(text.c_str(), &end, 10);
    if (end == text.c_str() || number < 0 || number > 65535)
        return false;
    *value = static_cast<std::uint16_t>(number);
    return true;
}

// A finite, non-negative number from the file.
bool ReadAmount(const CXMLAttributes& attributes, const char* key, float* value)
{
    const std::string text = attributes.GetString(key, kMissing);
    if (text == kMissing)
        return true;
    char* end = nullptr;
    const double number = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || !std::isfinite(number) || number < 0.0 || number > 1.0e9)
        return false;
    *value = static_cast<float>(number);
    return true;
}

} // namespace

void IWeapon::ReadSettings(const std::string& file, const std::string& name)
{
    // Without its file a weapon still goes by its own name: everyone else
    // recognises it by that.
    m_Name = name;
    m_File = file;
    LoadXML(file);
}

void IWeapon::OnStartElement(const std::string& name, CXMLAttributes& attributes)
{
    if (name != "PROPERTIES")
        return;
    std::uint16_t ammo = 100, clip = 6, clipSize = 6, damage = 15, maxAmmo = 156;
    float ratio = 800.0f, chase = 700.0f, ideal = 800.0f, cadence = 1.0f, velocity = 15.0f, vibrate = 0.2f;
    const struct {
        const char* key;
        std::uint16_t* value;
    } counts[] = {{"ammo", &ammo}, {"current_clip", &clip}, {"clipSize", &clipSize}, {"damage", &damage},
                  {"max_ammo", &maxAmmo}};
    const struct {
        const char* key;
        float* value;
    } amounts[] = {{"ratio_of_shot", &ratio}, {"ratio_of_shot_in_chase", &chase}, {"ideal_ratio_of_shot", &ideal},
                   {"cadence", &cadence}, {"bullet_velocity", &velocity}, {"max_vibrate_time", &vibrate}};
    for (const auto& count : counts) {
        if (!ReadCount(attributes, count.key, count.value)) {
            OutputDebugStringA((m_File + ": " + count.key + " is not a count from 0 to 65535\n").c_str());
            return;
        }
    }
    for (const auto& amount : amounts) {
        if (!ReadAmount(attributes, amount.key, amount.value)) {
            OutputDebugStringA((m_File + ": " + amount.key + " is not a usable number\n").c_str());
            return;
        }
    }
    m_Ammo = ammo;
    m_Clip = clip;
    m_ClipSize = clipSize;
    m_Damage = damage;
    m_MaxAmmo = maxAmmo;
    m_RatioOfShot = ratio;
    m_RatioOfShotInChase = chase;
    m_IdealRatioOfShot = ideal;
    m_Cadence = cadence;
    m_BulletVelocity = velocity;
    m_MaxVibrateTime = vibrate;
    m_Name = attributes.GetString("name", m_Name);
}

void IWeapon::SetClipAndAmmo(std::uint16_t clip, std::uint16_t ammo)
{
    m_Clip = clip;
    m_Ammo = ammo > m_MaxAmmo ? m_MaxAmmo : ammo;
}

void IWeapon::LoadModel(const char* mesh, const char* const textures[6])
{
    m_Model.Init(mesh);
    std::vector<IDirect3DTexture9*> list;
    for (int i = 0; i < 6; ++i)
        list.push_back(getTextureManager().GetTexture(textures[i]));
    m_Model.SetTextures(list);
}

void IWeapon::PlaceInHand(const D3DXMATRIX& bone, const CLocation& holder)
{
    D3DXMATRIX turn, move, world;
    D3DXMatrixRotationY(&turn, holder.GetYaw());
    const D3DXVECTOR3& at = holder.GetPosition();
    D3DXMatrixTranslation(&move, at.x, at.y, at.z);
    world = bone * turn * move;
    // Position and heading first (shots start from them), then the hand's
    // own turn for drawing.
    m_Model.GetTransform().SetPosition(D3DXVECTOR3(world._41, world._42, world._43));
    m_Model.GetTransform().SetYaw(holder.GetYaw());
    m_Model.GetTransform().SetMatrix(world);
}

void IWeapon::Update(float seconds)
{
    m_Empty = m_Ammo == 0 && m_Clip == 0;
    m_TimeSinceLastShot += seconds;
    if (playerOwned && m_Vibrating) {
        m_VibrationTimer += seconds;
        if (m_VibrationTimer > m_MaxVibrateTime) {
            getInputManager()->GetGamepadState().Vibrate(0.0f, 0.0f);
            m_VibrationTimer = 0.0f;
            m_Vibrating = false;
        }
    }
}

void IWeapon::Reload()
{
    // A clip above its size (the file does not cap it) is full as well:
    // the size minus the clip would wrap round.
    if (m_Empty || m_Clip >= m_ClipSize || m_Ammo == 0)
        return;
    m_TimeSinceLastShot = 0.0f;
    const std::uint16_t need = static_cast<std::uint16_t>(m_ClipSize - m_Clip);
    if (m_Ammo >= need) {
        m_Clip = m_ClipSize;
        m_Ammo = static_cast<std::uint16_t>(m_Ammo - need);
    } else {
        m_Clip = static_cast<std::uint16_t>(m_Clip + m_Ammo);
        m_Ammo = 0;
    }
}

bool IWeapon::FirePlayerShot()
{
    if (m_TimeSinceLastShot < m_Cadence)
        return false;
    m_TimeSinceLastShot = 0.0f;
    if (m_Empty || m_Clip == 0) {
        getSoundManager().playThisSampleOnce("data/sound/clacClac.wav", 0.55f);
        return false;
    }
    CPlayer* hero = getPlayer();
    const CControllerSelector* selector = hero->GetControllerSelector();
    IController* controller = hero->GetController();
    const bool aimed = (selector && selector->GetStateName() == "AIMING") ||
                       (controller && controller->GetStateCode() == 48);
    getProjectileManager().FireShot(m_Model.GetTransform(), m_BulletVelocity, 0, aimed, m_Name, m_Damage, 0);
    ++getAchievementStats().shotsFired;
    --m_Clip;
    if (m_Clip == 0 && m_Ammo == 0)
        m_Empty = true;
    const CGamepad pad = getInputManager()->GetGamepadState();
    if (m_Name == "SHOTGUN")
        pad.Vibrate(1.0f, 0.5f);
    else if (m_Name == "THOMPSON")
        pad.Vibrate(0.5f, 1.0f);
    else
        pad.Vibrate(1.0f, 1.0f);
    m_Vibrating = true;
    return true;
}

bool IWeapon::FireEnemyShot(CLocation shooter, int spread)
{
    const bool fired = m_TimeSinceLastShot >= m_Cadence;
    if (fired) {
        m_TimeSinceLastShot = 0.0f;
        getProjectileManager().FireShot(m_Model.GetTransform(), m_BulletVelocity, 1, false, m_Name, m_Damage,
                                        static_cast<std::uint16_t>(spread));
        TakeEnemyRound();
    }
    m_Ammo = 200;
    return fired;
}

bool IWeapon::FireThompsonShot(CLocation shooter, int spread, int burstStep)
{
    const bool fired = m_TimeSinceLastShot >= m_Cadence;
    if (fired) {
        m_TimeSinceLastShot = 0.0f;
        getProjectileManager().FireThompson(m_Model.GetTransform(), 1, "THOMPSON", static_cast<std::uint16_t>(spread),
                                            static_cast<std::uint16_t>(burstStep));
        TakeEnemyRound();
    }
    m_Ammo = 200;
    return fired;
}

void IWeapon::TakeEnemyRound()
{
    // Enemies fire on cadence alone (the plane's gunner never reloads); an
    // empty clip stays empty rather than wrapping round to 65535.
    if (m_Clip > 0)
        --m_Clip;
}

CGun::CGun()
{
    ReadSettings("data/XML/gun.xml", "GUN");
    static const char* const textures[6] = {"ostrel.tga", "ostrelLightingMap.tga", "ostrel_normal.tga",
                                            "ostrel_cargador.tga", "ostrelLightingMap.tga",
                                            "ostrel_cargador_normal.tga"};
    LoadModel("ostrel", textures);
}

CShotgun::CShotgun()
{
    ReadSettings("data/XML/shotgun.xml", "SHOTGUN");
    static const char* const textures[6] = {"shotgun.tga", "shotgunLightingMap.tga", "shotgun_normal.tga",
                                            "canones.tga", "shotgunLightingMap.tga", "canones_normal.tga"};
    LoadModel("shotgun", textures);
}

CThompson::CThompson()
{
    ReadSettings("data/XML/thompson.xml", "THOMPSON");
    static const char* const textures[6] = {"metralleta_UV copia.tga", "thompsonLightingMap.tga",
                                            "metralleta_UV_nomal.tga", "tambor.tga", "thompsonLightingMap.tga",
                                            "tambor_normal.tga"};
    LoadModel("thompson", textures);
}
