#include "enemies/EnemyAnimNames.h"

namespace {

enum Column { kShotgun, kThompson, kGun };

Column ColumnOf(const std::string& weapon)
{
    if (weapon == "SHOTGUN")
        return kShotgun;
    if (weapon == "THOMPSON")
        return kThompson;
    return kGun;
}

// The word the cover names are built with.
const char* Word(Column column)
{
    static const char* const words[] = {"escopeta", "thompson", "ostrel"};
    return words[column];
}

const char* FromTable(EnemyAnim kind, Column c)
{
    static const char* const table[][3] = {
        {"idle_escopeta", "idle_thompson", "idle_ostrel"},
        {"run_escopeta", "run_thompson", "run_ostrel"},
        {"andar", "andar", "andar"},
        {"aiming_shotgun", "aiming_thompson", "aiming"},
        {"fire_shotgun", "fire_thompson", "aiming_fire"},
        {"pasoizquierdo_escopeta", "pasoizquierdo_thompson", "pasolateral_izquierdo"},
        {"pasoderecho_escopeta", "pasoderecho_thompson", "pasolateral_derecho"},
        {"reload_escopeta", "reload_thompson", "reload_ostrel"},
        {"roll_escopeta", "roll_thompson", "roll"},
        {"jumpescopetbox", "jumpthompsonbox", "jumpostrelbox"},
        {"jumpescopetman", "jumpthompsonman", "jumpostrelman"},
    };
    return table[static_cast<int>(kind)][c];
}

} // namespace

std::string EnemyAnimName(EnemyAnim kind, const std::string& weaponName)
{
    Column column = ColumnOf(weaponName);
    // The aim and the shot of an unknown weapon are the Thompson's.
    if (column == kGun && weaponName != "GUN" && (kind == EnemyAnim::Aim || kind == EnemyAnim::Shot))
        column = kThompson;
    const std::string word = Word(column);
    switch (kind) {
    case EnemyAnim::LowCoverIdle: return "pBajo_" + word + "_idle";
    case EnemyAnim::HighCoverIdle: return "palto_" + word + "_idle";
    case EnemyAnim::LowCoverEnter: return "pBajo_" + word + "_enter";
    case EnemyAnim::HighCoverEnter: return "palto_" + word + "_enter";
    case EnemyAnim::LowCoverExit: return "pBajo_" + word + "_exit";
    case EnemyAnim::HighCoverExit: return "palto_" + word + "_exit";
    case EnemyAnim::LowCoverReload: return "pBajo_" + word + "_reload";
    case EnemyAnim::HighCoverReload: return "palto_" + word + "_reload";
    case EnemyAnim::LowLeanOut: return "pBajo_" + word + "_asomarida";
    case EnemyAnim::HighLeanOutL: return "palto_" + word + "_asomaridaL";
    case EnemyAnim::HighLeanOutR: return "palto_" + word + "_asomaridaR";
    case EnemyAnim::LowLeanBack: return "pBajo_" + word + "_asomarvuelta";
    case EnemyAnim::HighLeanBackL: return "palto_" + word + "_asomarvueltaL";
    case EnemyAnim::HighLeanBackR: return "palto_" + word + "_asomarvueltaR";
    case EnemyAnim::AimingThompson: return "aiming_thompson";
    case EnemyAnim::FlyingPallet: return "paletavolador";
    case EnemyAnim::FlyingPalletIdle: return "paletavolador_idle00";
    case EnemyAnim::Pointing: return "senalando";
    default: return FromTable(kind, column);
    }
}
