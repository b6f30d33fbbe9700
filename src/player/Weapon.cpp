#include "player/Weapon.h"

#include <cmath>
#include <cstdlib>

#include "platform/win32.h"

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

void IWeapon::Update(float seconds)
{
    // Placeholder until the weapons are built.
}

void IWeapon::Reload()
{
    // Placeholder until the weapons are built.
}

bool IWeapon::FirePlayerShot()
{
    // Placeholder until the weapons are built.
    return false;
}

bool IWeapon::FireEnemyShot(CLocation shooter, int spread)
{
    // Placeholder until the weapons are built.
    return false;
}

bool IWeapon::FireThompsonShot(CLocation shooter, int spread, int burstStep)
{
    // Placeholder until the weapons are built.
    return false;
}

CGun::CGun()
{
    ReadSettings("data/XML/gun.xml", "GUN");
}

CShotgun::CShotgun()
{
    ReadSettings("data/XML/shotgun.xml", "SHOTGUN");
}

CThompson::CThompson()
{
    ReadSettings("data/XML/thompson.xml", "THOMPSON");
}
