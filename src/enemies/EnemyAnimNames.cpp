#include "enemies/EnemyAnimNames.h"

namespace {

enum Column { kShotgun, kThompson, kGun };

Column ColumnOf(const std::string& weaponName)
{
    if (weaponName == "SHOTGUN")
        return kShotgun;
    if (weaponName == "THOMPSON")
        return kThompson;
    return kGun;
}

struct Row {
    const char* names[3];  // shotgun, Thompson, pistol
};

} // namespace

std::string EnemyWeaponWord(const std::string& weaponName)
{
    static const char* const words[3] = {"escopeta", "thompson", "ostrel"};
    return words[ColumnOf(weaponName)];
}

std::string EnemyAnimName(EnemyAnim use, const std::string& weaponName, EnemyCoverPose pose)
{
    Column column = ColumnOf(weaponName);
    const std::string word = EnemyWeaponWord(weaponName);
    const std::string cover = (pose.high ? "palto_" : "pBajo_") + word;
    switch (use) {
    case EnemyAnim::Stand: return "idle_" + word;
    case EnemyAnim::Run: return "run_" + word;
    case EnemyAnim::WalkTrack: return "andar";
    case EnemyAnim::CoverIdle: return cover + "_idle";
    case EnemyAnim::CoverEnter: return cover + "_enter";
    case EnemyAnim::CoverExit: return cover + "_exit";
    case EnemyAnim::CoverReload: return cover + "_reload";
    case EnemyAnim::LeanOut:
        return pose.high ? cover + (pose.atStartEnd ? "_asomaridaR" : "_asomaridaL") : cover + "_asomarida";
    case EnemyAnim::LeanBack:
        return pose.high ? cover + (pose.atStartEnd ? "_asomarvueltaR" : "_asomarvueltaL") : cover + "_asomarvuelta";
    case EnemyAnim::AimingThompson: return "aiming_thompson";
    case EnemyAnim::FlyingPallet: return "paletavolador";
    case EnemyAnim::FlyingPalletIdle: return "paletavolador_idle00";
    case EnemyAnim::Pointing: return "senalando";
    default: break;
    }
    // Weapons the game does not know aim and fire like the Thompson.
    if ((use == EnemyAnim::Aim || use == EnemyAnim::Shot) && weaponName != "GUN" && column == kGun)
        column = kThompson;
    static const Row aim = {{"aiming_shotgun", "aiming_thompson", "aiming"}};
    static const Row shot = {{"fire_shotgun", "fire_thompson", "aiming_fire"}};
    static const Row stepLeft = {{"pasoizquierdo_escopeta", "pasoizquierdo_thompson", "pasolateral_izquierdo"}};
    static const Row stepRight = {{"pasoderecho_escopeta", "pasoderecho_thompson", "pasolateral_derecho"}};
    static const Row reload = {{"reload_escopeta", "reload_thompson", "reload_ostrel"}};
    static const Row roll = {{"roll_escopeta", "roll_thompson", "roll"}};
    static const Row jumpBox = {{"jumpescopetbox", "jumpthompsonbox", "jumpostrelbox"}};
    static const Row jumpOther = {{"jumpescopetman", "jumpthompsonman", "jumpostrelman"}};
    const Row* row = &aim;
    switch (use) {
    case EnemyAnim::Shot: row = &shot; break;
    case EnemyAnim::StepLeft: row = &stepLeft; break;
    case EnemyAnim::StepRight: row = &stepRight; break;
    case EnemyAnim::ReloadStanding: row = &reload; break;
    case EnemyAnim::Roll: row = &roll; break;
    case EnemyAnim::JumpBox: row = &jumpBox; break;
    case EnemyAnim::JumpOther: row = &jumpOther; break;
    default: break;
    }
    return row->names[column];
}
