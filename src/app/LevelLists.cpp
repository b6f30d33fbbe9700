#include "app/LevelLists.h"

#include <cstddef>
#include <iterator>
#include <set>

#include "app/GameStateFlags.h"
#include "app/Profiler.h"
#include "scene/RigidAnimManager.h"
#include "scene/SceneManager.h"

namespace {

// The names are the scene objects' keys from the level data, in the order the
// scene draws them; the spelling (and the odd duplicate) is the data's own.

const char* const kVinyetasIntro1[] = {
    "vinyeta1_escena", "vinyeta1_miamor", "vinyeta1_merece", "vinyeta1_venganza",
    "vinyeta1_Lluvia2", "vinyeta1_Lluvia1", "vinyeta1_Lluvia3", "vinyeta1_Lluvia4",
    "vinyeta1_Lluvia5", "vinyeta1_Lluvia6", "vinyeta1_Lluvia7",
};

const char* const kVinyetasIntro2[] = {
    "vinyeta2_fachada", "vinyeta2_zorvath", "vinyeta2_mecueste", "vinyeta2_aunque",
    "vinyeta2_lavida", "vinyeta2_suelo", "vinyeta2_pared3", "vinyeta2_pared1", "vinyeta2_pared2",
    "vinyeta2_pared4", "vinyeta2_farola", "vinyeta2_brillo_farola", "vinyeta2_Lluvia03",
    "vinyeta2_Lluvia1", "vinyeta2_Lluvia02", "vinyeta2_Lluvia04",
};

const char* const kSecondMovie[] = {
    "Vinyeta4_fondo1", "Vinyeta4_fondo2", "Vinyeta4_pantalan1", "Vinyeta4_suelo",
    "Vinyeta4_suelo18", "Vinyetas4_deposito", "Vinyeta4_suelo24", "Vinyeta4_suelo17",
    "Vinyetas4_cajas", "Vinyetas4_cajas1", "Vinyeta4_suelo19", "Vinyeta4_suelo20",
    "Vinyeta4_suelo21", "Vinyeta4_suelo22", "Vinyetas4_humo1", "Vinyeta4_suelo06",
    "Vinyeta4_suelo05", "Vinyeta4_suelo01", "Vinyeta4_suelo02", "Vinyeta4_suelo03",
    "Vinyeta4_suelo07", "Vinyeta4_suelo08", "Vinyeta4_suelo09", "Vinyeta4_suelo10",
    "Vinyeta4_suelo04", "Vinyeta4_suelo11", "Vinyeta4_suelo12", "Vinyetas4_pieza2",
    "Vinyetas4_pieza1", "Vinyeta4_suelo13", "Vinyeta4_suelo14", "Vinyeta4_suelo15",
    "Vinyetas4_cajas4", "Vinyetas4_Cajas5", "Vinyetas4_Cajas6", "Vinyeta4_sangre2",
    "vinyetas4_trozo01", "Vinyetas4_trozo04", "Vinyetas4_trozo05", "vinyetas4_trozo02",
    "vinyetas4_trozo03", "Vinyetas4_trozo06", "Vinyetas4_trozo07", "Vinyetas4_trozo11",
    "Vinyetas4_trozo10", "Vinyetas4_trozo09", "Vinyetas4_trozo08", "Vinyeta4_farola",
    "vinyeta4_brillo_farola", "Vinyeta4_farola01", "vinyeta4_brillo_farola01", "Vinyeta4_zorvath1",
    "Vinyetas4_reja_suelo", "Vinyetas4_verja1", "Vinyeta4_humo1", "Vinyetas4_cajas3",
    "Vinyetas4_verjas2", "Vinyetas4_cajas2", "Vinyetas4_helice", "Vinyeta4_humo02",
};

const char* const kVinyetasFinalHangares[] = {
    "Vinyeta3_fondo2", "Vinyeta3_fondo1", "Vinyeta3_Isla", "Vinyeta3_suelo", "Vinyeta3_suelo01",
    "Vinyeta3_suelo02", "Vinyeta3_suelo03", "Vinyeta3_rocas4", "Vinyeta3_rocas8", "Vinyeta3_rocas2",
    "Vinyeta3_rocas1", "Vinyeta3_rocas10", "Vinyeta3_rocas12", "Vinyeta3_rocas14",
    "Vinyeta3_rocas13", "Vinyeta3_rocas11", "Vinyeta3_rocas9", "Vinyeta3_rocas6", "Vinyeta3_rocas7",
    "Vinyeta3_rocas5", "Vinyeta3_rocas3", "Vinyeta3_rocas15", "Vinyeta3_rocas16",
    "Vinyeta3_rocas18", "Vinyeta3_rocas17", "Vinyeta3_rocas19", "Vinyeta3_rocas20",
    "Vinyeta3_rocas21", "Vinyeta3_rocas22", "Vinyeta3_rocas23", "Vinyeta3_rocas24",
    "Vinyeta3_rocas25", "Vinyeta3_rocas26", "Vinyeta3_rocas27", "Vinyeta3_humo1", "Vinyeta3_humo2",
    "Vinyeta3_humo3", "Vinyeta3_humo4", "Vinyeta3_sangre", "Vinyeta3_sangre2", "Vinyeta3_zorvath1",
    "Vinyeta3_yaseha", "Vinyeta3_derramado", "Vinyeta3_sangre_tovi", "Vinyeta3_zorvath2",
    "Vinyeta3_peroaun", "Vinyeta3_quedan", "Vinyeta3_culpables", "Vinyeta3_pagar",
    "Vinyeta3_farola06", "Vinyeta3_farola05", "Vinyeta3_farola04", "Vinyeta3_farola03",
    "Vinyeta3_farola02", "Vinyeta3_farola01", "Vinyeta3_farola", "Vinyeta3_sangre",
    "vinyeta3_brillo_farola", "vinyeta3_brillo_farola01", "vinyeta3_brillo_farola02",
    "vinyeta3_brillo_farola03", "vinyeta3_brillo_farola04", "vinyeta3_brillo_farola05",
    "vinyeta3_brillo_farola06", "vinyeta3_brillo_farola07", "Vinyeta3_Luz_faro", "Vinyeta3_Malo",
    "Vinyeta3_Mano",
};

const char* const kCreditos[] = {
    "END_Fondo", "END_2", "END_1", "END_3", "END_4", "END_5",
};

const char* const kDockersHuye[] = {
    "Huye_malo2", "Huye_malo1", "Huye_dockers", "Huye_banderillas2", "Huye_sangre03", "Huye_fondo1",
    "Huye_banderillas1", "Huye_letras1", "Huye_letras2", "Huye_sangre2",
};

const char* const kMemoriam[] = {
    "MEmoriam",
};

const char* const kPredockers[] = {
    "FINAL_ARMARIO", "FINAL_ROSA", "FINAL_Elementos", "FINAL_CASA", "Object01_m", "Object02_m",
    "Object03_m", "Object04_m", "FINAL_INICIO",
};

const char* const kHangaresStreet[] = {
    "Farola_1", "Farola_2", "Farola_3", "Farola_4", "Farola_5", "Farola_6", "Farola_7", "Farola_8",
    "Farola_9", "Farola_10", "Farola_11", "Farola_12", "Farola_13", "Farola_14", "Farola_15",
    "Farola_16", "Farola_17", "Farola_18", "Farola_19", "Farola_20", "Farola_21", "Farola_22",
    "Farola_23", "Farola_24", "Farola_25", "Farola_26", "Farola_27", "Farola_28", "Farola_29",
    "Farola_30", "Farola_31", "vegetacion1", "vegetacion2", "vegetacion3", "vegetacion4",
    "vegetacion5", "vegetacion6", "vegetacion7", "vegetacion9", "vegetacion10", "vegetacion11",
    "vegetacion12", "vegetacion13", "vegetacion14", "vegetacion15", "vegetacion16", "vegetacion17",
    "Boca_Riego_1", "Boca_Riego_02", "Boca_Riego_03", "Boca_Riego_04", "Boca_Riego_05",
    "Boca_Riego_06", "coche_molon", "coche_molon01", "coche_molon02", "coche_molon03",
    "coche_molon04", "manhattans1", "manhattans2", "manhattans3", "manhattans4", "manhattans5",
    "manhattans6", "manhattans7", "manhattans8", "manhattans9", "manhattans10", "suciedad1",
    "suciedad3", "suciedad4", "suciedad5", "suciedad6", "papeleras_cosas_1", "papeleras_cosas_2",
    "papeleras_cosas_3", "papeleras_cosas_4", "papeleras_cosas_5", "papeleras_cosas_6",
    "papeleras_cosas_04", "cajas_escenario_1", "cajas_escenario_2", "cajas_escenario_3",
};

const char* const kHangaresYard[] = {
    "cajas_escenario_5", "cajas1", "cajas2", "cajas3", "cajas4", "cajas5", "cajas6", "verja1",
    "verja2", "barricada_wave01", "barricada_wave01_2", "pila_cajas_M1", "pila_cajas_M2",
    "pila_cajas_G", "pila_cajas_P", "pila_cajas_A1", "pila_cajas_A2", "guia_camino_1",
    "guia_camino_2", "guia_camino_3", "guia_camino_4", "guia_camino_5", "guia_camino_6", "guia_camino_7",
    "guia_camino_8", "guia_camino_9", "guia_camino_10", "guia_camino_11", "guia_camino_12", "guia_camino_13",
    "deposito_combustible",
};

const char* const kHangaresBuildings[] = {
    "Garita1", "Garita2", "hangar01", "hangar02", "hangar3", "hangar4", "maderitas1",
};

const char* const kCrate2Pieces[] = {
    "maderitas2_ROTO_4", "maderitas2_ROTO_3", "maderitas2_ROTO_2", "maderitas2_ROTO_1",
};

const char* const kCrate3Pieces[] = {
    "maderitas3_ROTO_1", "maderitas3_ROTO_4", "maderitas3_ROTO_2", "maderitas3_ROTO_3",
    "maderitas3_ROTO_5",
};

const char* const kHangaresBlocks[] = {
    "poste1", "poste2", "poste3", "palmeras1", "palmeras2", "cables1", "cables2", "cloacas",
    "cloacas2", "skybox", "Casas", "Puente", "camioneta", "carrito", "muro_letras", "interior",
    "Agua", "paso_petaones", "dolor", "suelo",
};

const char* const kPierIntact[] = {
    "pantalan_Farola_61", "pantalan_Garita03", "pantalan_Farola_62", "pantalan_verja04",
    "pantalan_deposito", "pantalan_rocas02", "pantalan_maderitas_3", "pantalan_rocas01",
    "pantalan_maderitas_1", "pantalan_1", "pantalan_rocas04", "pantalan_rocas03",
    "pantalan_maderitas_2", "pantalan_espigon",
};

const char* const kPierBroken[] = {
    "Pantalan_ROTO_1", "Pantalan_ROTO_2", "pantalan_Garita03",
};

const char* const kPlaneArriving[] = {
    "AVION_NUEVO_HELICE", "AVION_NUEVO_ENEMIGO2", "AVION_NUEVO_ENEMIGO1", "AVION_NUEVO_MOTOR",
    "AVION_NUEVO_CUERPO",
};

const char* const kPlaneLoop[] = {
    "AVION_NUEVO_HELICE_BUCLE", "AVION_NUEVO_ENEMIGO2_BUCLE", "AVION_NUEVO_ENEMIGO1_BUCLE",
    "AVION_NUEVO_MOTOR_BUCLE", "AVION_NUEVO_CUERPO_BUCLE",
};

const char* const kPlaneTakingOff[] = {
    "Avion_Despega", "HELICE_DESPEGA",
};

const char* const kCrashedPlane[] = {
    "Cajas_AVION", "Enemigo_Empalado_AVION", "Cajas_parapetables_AVION", "Verja_AVION",
};

const char* const kHangarExploded[] = {
    "HANGAR_TECHO_PUERTES_frag_11_frag_04_frag_02", "HANGAR_TECHO_PUERTES_frag_14_frag_04_frag_01",
    "HANGAR_TECHO_PUERTES_frag_14_frag_05_frag_02", "HANGAR_TECHO_PUERTES_frag_14_frag_05_frag_01",
    "HANGAR_TECHO_PUERTES_frag_14_frag_05_frag_03", "HANGAR_TECHO_PUERTES_frag_11_frag_01_frag_02",
    "HANGAR_ESTRUCTURA_frag_01_frag_07", "HANGAR_TECHO_PUERTES_frag_14_frag_04_frag_03",
    "HANGAR_TECHO_PUERTES_frag_11_frag_01_frag_01", "HANGAR_TECHO",
    "HANGAR_TECHO_PUERTES_frag_14_frag_04_frag_02", "HANGAR_TECHO_PUERTES_frag_11_frag_04_frag_01",
    "HANGAR_ESTRUCTURA_frag_01_frag_03_frag_01_frag_02",
    "HANGAR_ESTRUCTURA_frag_01_frag_03_frag_01_frag_02",
    "HANGAR_ESTRUCTURA_frag_01_frag_03_frag_01_frag_03",
    "HANGAR_ESTRUCTURA_frag_01_frag_03_frag_01_frag_04",
    "HANGAR_ESTRUCTURA_frag_01_frag_03_frag_01_frag_06",
    "HANGAR_ESTRUCTURA_frag_01_frag_03_frag_02_frag_01",
    "HANGAR_ESTRUCTURA_frag_01_frag_03_frag_02_frag_02",
    "HANGAR_ESTRUCTURA_frag_01_frag_03_frag_02_frag_03",
    "HANGAR_ESTRUCTURA_frag_01_frag_10_frag_05_frag_01",
    "HANGAR_ESTRUCTURA_frag_01_frag_10_frag_05_frag_02",
    "HANGAR_ESTRUCTURA_frag_01_frag_10_frag_05_frag_03",
    "HANGAR_ESTRUCTURA_frag_01_frag_10_frag_05_frag_04",
    "HANGAR_ESTRUCTURA_frag_01_frag_10_frag_05_frag_05", "HANGAR_TECHO_PUERTES_frag_01",
    "HANGAR_TECHO_PUERTES_frag_02", "HANGAR_TECHO_PUERTES_frag_14_frag_07_frag_03",
    "HANGAR_TECHO_PUERTES_frag_04", "HANGAR_TECHO_PUERTES_frag_05", "HANGAR_TECHO_PUERTES_frag_06",
    "HANGAR_TECHO_PUERTES_frag_07", "HANGAR_TECHO_PUERTES_frag_08", "HANGAR_TECHO_PUERTES_frag_09",
    "HANGAR_TECHO_PUERTES_frag_10", "HANGAR_TECHO_PUERTES_frag_11_frag_07_frag_01",
    "HANGAR_ESTRUCTURA_frag_01_frag_03_frag_01_frag_01",
    "HANGAR_ESTRUCTURA_frag_01_frag_10_frag_06", "HANGAR_ESTRUCTURA_frag_01_frag_10_frag_04",
    "HANGAR_ESTRUCTURA_frag_01_frag_10_frag_02", "HANGAR_ESTRUCTURA_frag_01_frag_09",
    "HANGAR_TECHO_PUERTES_frag_03",
};

const char* const kHangarStanding[] = {
    "mesh_barriles_explosivos", "Hangar_PUERTA_DER", "Hangar_PUERTA_IZQ", "Hangar_FONDO",
};

const char* const kScaffoldWhole[] = {
    "isla_andamio", "maderas_andamio",
};

const char* const kIsland[] = {
    "isla_playa", "isla_faro", "isla_manhattans_playa", "isla_murito_andamio", "isla_fuente",
    "isla_ayuntamiento", "isla_cables_plaza", "isla_arco1", "isla_arco2", "isla_vegetacion_14",
    "isla_estructura_superior", "isla_arco3", "isla_arco4", "isla_arco5", "isla_arco6",
    "isla_banderolas", "isla_frase3", "isla_arco7", "isla_barcaza", "isla_faro_barcaza",
    "isla_pie_lost", "isla_cartelsantahelena", "isla_Mar_2", "skybox2", "Luz_Faro",
    "isla_escaleras09", "isla_escaleras08", "isla_escaleras07", "isla_escaleras06",
    "isla_escaleras05", "isla_escaleras04", "isla_escaleras03", "isla_escaleras02",
    "isla_escaleras01", "isla_paredes02", "isla_paredes01", "isla_rocas14", "isla_rocas13",
    "isla_rocas12", "isla_rocas11", "isla_rocas10", "isla_rocas09", "isla_rocas08", "isla_rocas07",
    "isla_rocas06", "isla_rocas05", "isla_rocas04", "isla_rocas03", "isla_rocas02", "isla_rocas01",
    "isla_miniluz_07", "isla_miniluz_06", "isla_miniluz_05", "isla_miniluz_04", "isla_miniluz_03",
    "isla_miniluz_02", "isla_miniluz_01", "isla_casa_03", "isla_casa_02", "isla_casa_01",
    "isla_vegetacion_29", "isla_vegetacion_28", "isla_vegetacion_27", "isla_vegetacion_26",
    "isla_vegetacion_30", "isla_vegetacion_25", "isla_vegetacion_24", "isla_vegetacion_23",
    "isla_vegetacion_22", "isla_vegetacion_21", "isla_vegetacion_20", "isla_vegetacion_19",
    "isla_vegetacion_18", "isla_vegetacion_17", "isla_vegetacion_16", "isla_vegetacion_15",
    "isla_maderaventana_04", "isla_maderaventana_03", "isla_maderaventana_02",
    "isla_maderaventana_01", "isla_farolas_12", "isla_farolas_11", "isla_farolas_10",
    "isla_farolas_09", "isla_farolas_08", "isla_farolas_07", "isla_farolas_06", "isla_farolas_05",
    "isla_farolas_04", "isla_farolas_03", "isla_farolas_02", "isla_farolas_01", "isla_enredadera03",
    "isla_enredadera02", "isla_enredadora01", "isla_hojas07", "isla_hojas06", "isla_hojas05",
    "isla_hojas04", "isla_hojas03", "isla_hojas02", "isla_hojas01", "isla_manhattan05",
    "isla_manhattan04", "isla_manhattan03", "isla_manhattan02", "isla_manhattan01", "isla_verja_03",
    "isla_verja_02", "isla_verja_01", "isla_cajas_ayuntamiento_06", "isla_cajas_ayuntamiento_05",
    "isla_cajas_ayuntamiento_04", "isla_cajas_ayuntamiento_03", "isla_cajas_ayuntamiento_02",
    "isla_cajas_ayuntamiento_01", "isla_maderitascamino_02", "isla_maderitascamino_01",
    "isla_vegetacion_13", "isla_vegetacion_12", "isla_vegetacion_11", "isla_vegetacion_10",
    "isla_vegetacion_09", "isla_vegetacion_08", "isla_vegetacion_07", "isla_vegetacion_06",
    "isla_vegetacion_05", "isla_vegetacion_04", "isla_vegetacion_03", "isla_vegetacion_02",
    "isla_vegetacion_01", "isla_cajas_08", "isla_cajas_07", "isla_cajas_06", "isla_cajas_05",
    "isla_cajas_04", "isla_cajas_03", "isla_cajas_02", "isla_cajas_01", "isla_suciedad_19",
    "isla_suciedad_18", "isla_suciedad_17", "isla_suciedad_16", "isla_suciedad_15",
    "isla_suciedad_14", "isla_suciedad_13", "isla_suciedad_12", "isla_suciedad_11",
    "isla_suciedad_10", "isla_suciedad_09", "isla_suciedad_08", "isla_suciedad_07",
    "isla_suciedad_06", "isla_suciedad_05", "isla_suciedad_04", "isla_suciedad_03",
    "isla_suciedad_02", "isla_suciedad_01", "isla_montanya_06", "isla_montanya_05",
    "isla_montaya04", "isla_montanya_03", "isla_montanya_02", "isla_montanya_01",
    "isla_palmeras_03", "isla_palmeras_02", "isla_palmeras_01", "TextoFINAL",
    "isla_rampa_montanya_02_n", "isla_rampa_montanya_02_s", "isla_rampa_montanya_02_o", "isla_rampa_montanya_02_e",
};

const char* const kScaffoldPlanks[] = {
    "isla_madera_andamio_03", "isla_madera_andamio_04", "isla_madera_andamio_05",
    "isla_madera_andamio_EXPLO_06", "isla_madera_andamio_EXPLO_10",
};

const char* const kScaffoldPieces[] = {
    "andamio_palo10", "andamio_maderas5", "andamio_maderas4", "andamio_palo7", "andamio_palo6",
    "andamio_plano04", "andamio_plano03", "andamio_palo2", "andamio_escalera", "andamio_palo3",
    "andamio_palo1", "andamio_palo5", "andamio_palo4", "andamio_maderas3", "andamio_plano2",
    "andamio_plano1", "andamio_maderas", "andamio_palo8", "andamio_maderas2", "andamio_palo9",
};

const char* const kScaffoldBroken[] = {
    "Andamio_BROKEN", "DOCKERS_SANGRE",
};

// The painted way from the fifth checkpoint to the square where the boss
// waits: shown once the dockers have fled, when that is where the hero goes.
const char* const kWayToSquare[] = {
    "guia_plaza_1",  "guia_plaza_2",  "guia_plaza_3",  "guia_plaza_4",  "guia_plaza_5",  "guia_plaza_6",
    "guia_plaza_7",  "guia_plaza_8",  "guia_plaza_9",  "guia_plaza_10", "guia_plaza_11", "guia_plaza_12",
    "guia_plaza_13", "guia_plaza_14", "guia_plaza_15", "guia_plaza_16", "guia_plaza_17",
};

// The raised yard of the last fight stands high over the island's west
// beach: drawn while the fight's story stage runs, out of the sky otherwise.
const char* const kFinalArena[] = {
    "isla_arena_final", "isla_arena_final_muro_n", "isla_arena_final_muro_s", "isla_arena_final_muro_e",
    "isla_arena_final_muro_o",
};

template <std::size_t N>
void AddAll(IVisibilityMarks& marks, const char* const (&names)[N])
{
    for (const char* name : names)
        marks.AddVisible(name);
}

template <std::size_t N>
void SetAll(IVisibilityMarks& marks, const char* const (&names)[N], bool visible)
{
    for (const char* name : names)
        marks.SetVisible(name, visible);
}

template <std::size_t N>
void Collect(std::set<std::string>& into, const char* const (&names)[N])
{
    into.insert(std::begin(names), std::end(names));
}

const char kSendToRender[] = "sendToRender: ";

} // namespace

void CSceneMarks::AddVisible(const std::string& name)
{
    m_Scene.AddVisible(name);
}

void CSceneMarks::SetVisible(const std::string& name, bool visible)
{
    m_Scene.SetVisible(name, visible);
}

void MarkVinyetasIntro1(IVisibilityMarks& marks) { AddAll(marks, kVinyetasIntro1); }
void MarkVinyetasIntro2(IVisibilityMarks& marks) { AddAll(marks, kVinyetasIntro2); }
void MarkSecondMovie(IVisibilityMarks& marks) { AddAll(marks, kSecondMovie); }
void MarkVinyetasFinalHangares(IVisibilityMarks& marks) { AddAll(marks, kVinyetasFinalHangares); }
void MarkCreditos(IVisibilityMarks& marks) { AddAll(marks, kCreditos); }
void MarkVinyetasDockersHuye(IVisibilityMarks& marks) { AddAll(marks, kDockersHuye); }
void MarkMemoriam(IVisibilityMarks& marks) { AddAll(marks, kMemoriam); }
void MarkVinyetasPredockers(IVisibilityMarks& marks) { AddAll(marks, kPredockers); }

bool MarkComicPanels(const std::string& level, const CGameStateFlagsManager& gsf, IVisibilityMarks& marks,
                     CProfiler& profiler)
{
    using G = CGameStateFlagsManager;
    if (level == "hangares") {
        switch (gsf.sequence) {
        case G::PlayingVinyetasIntro1:
            profiler.StartTimer();
            MarkVinyetasIntro1(marks);
            return true;
        case G::PlayingVinyetasIntro2:
            profiler.StartTimer();
            MarkVinyetasIntro2(marks);
            return true;
        case G::PlayingSecondMovie:
            MarkSecondMovie(marks);
            profiler.StopTimer(kSendToRender);
            return true;
        case G::PlayingVinyetasFinalHangares:
            profiler.StartTimer();
            MarkVinyetasFinalHangares(marks);
            profiler.StopTimer(kSendToRender);
            return true;
        default:
            return false;
        }
    }
    if (level == "isla") {
        switch (gsf.islaSequence) {
        case G::PlayingCreditos:
            profiler.StartTimer();
            MarkCreditos(marks);
            profiler.StopTimer(kSendToRender);
            return true;
        case G::PlayingVinyetasDockersHuye:
            profiler.StartTimer();
            MarkVinyetasDockersHuye(marks);
            profiler.StopTimer(kSendToRender);
            return true;
        case G::PlayingMemoriam:
            MarkMemoriam(marks);
            return true;
        case G::PlayingVinyetasPredockers:
            MarkVinyetasPredockers(marks);
            return true;
        default:
            return false;
        }
    }
    return false;
}

void MarkHangaresObjects(const CGameStateFlagsManager& gsf, const CRigidAnimManager& rigid,
                         IVisibilityMarks& marks)
{
    using G = CGameStateFlagsManager;
    const bool pier = gsf.pierIntact;
    SetAll(marks, kHangaresStreet, true);
    marks.SetVisible("cajas_escenario_4", pier);
    SetAll(marks, kHangaresYard, true);
    marks.SetVisible("verja3", pier);
    SetAll(marks, kHangaresBuildings, true);

    // The two breakable crates: whole until shot apart, then their pieces.
    marks.SetVisible("maderitas2", !rigid.crateBroken2);
    marks.SetVisible("maderitas3", !rigid.crateBroken3);
    marks.SetVisible("maderitas4", true);
    SetAll(marks, kCrate2Pieces, rigid.crateBroken2);
    SetAll(marks, kCrate3Pieces, rigid.crateBroken3);

    SetAll(marks, kHangaresBlocks, true);
    if (pier)
        SetAll(marks, kPierIntact, true);
    else
        SetAll(marks, kPierBroken, true);

    SetAll(marks, kPlaneArriving, gsf.hangarRigidState == G::RigidasHangaresLlegadaAvion);
    SetAll(marks, kPlaneLoop, gsf.hangarRigidState == G::PlayingRigidaEneAvioneta);
    // The plane taking off stays hidden while the hangar intro flight plays.
    SetAll(marks, kPlaneTakingOff,
           gsf.hangarRigidState == G::RigidasHangaresDespegueAvion && gsf.sequence != G::PlayingCamIntroHangares);

    // Once the pier is gone the plane has crashed into the yard.
    if (!pier) {
        SetAll(marks, kCrashedPlane, true);
        if (gsf.hangarRigidState == G::RigidasHangarExplosion)
            SetAll(marks, kHangarExploded, true);
        else
            SetAll(marks, kHangarStanding, true);
    }
}

void MarkIslaObjects(const CRigidAnimManager& rigid, IVisibilityMarks& marks)
{
    const int stage = rigid.dockersEscapeStage;
    SetAll(marks, kScaffoldWhole, stage == 0);
    SetAll(marks, kIsland, true);
    SetAll(marks, kScaffoldPlanks, stage == 0);
    SetAll(marks, kScaffoldPieces, stage == 1);
    SetAll(marks, kScaffoldBroken, stage == 2);
    // The same painted way joins the square and the plateau: up to the
    // dockers that end the square's waves, then down to the boss once they
    // have fled. Only the scaffold's fall hides it.
    SetAll(marks, kWayToSquare, stage != 1);
}

void MarkFinalArena(const CGameStateFlagsManager& gsf, IVisibilityMarks& marks)
{
    SetAll(marks, kFinalArena, gsf.islaSequence == CGameStateFlagsManager::PlayingVinyetasPredockers);
}

void MarkLevelObjects(const std::string& level, const CGameStateFlagsManager& gsf,
                      const CRigidAnimManager& rigid, IVisibilityMarks& marks, CProfiler& profiler)
{
    if (level == "hangares") {
        profiler.StartTimer();
        MarkHangaresObjects(gsf, rigid, marks);
        profiler.StopTimer(kSendToRender);
    } else if (level == "isla") {
        profiler.StartTimer();
        MarkIslaObjects(rigid, marks);
        MarkFinalArena(gsf, marks);
        profiler.StopTimer(kSendToRender);
    }
}

std::vector<std::string> LevelListNames(const std::string& level)
{
    std::set<std::string> names;
    if (level == "hangares") {
        Collect(names, kVinyetasIntro1);
        Collect(names, kVinyetasIntro2);
        Collect(names, kSecondMovie);
        Collect(names, kVinyetasFinalHangares);
        Collect(names, kHangaresStreet);
        names.insert({"cajas_escenario_4", "verja3", "maderitas2", "maderitas3", "maderitas4"});
        Collect(names, kHangaresYard);
        Collect(names, kHangaresBuildings);
        Collect(names, kCrate2Pieces);
        Collect(names, kCrate3Pieces);
        Collect(names, kHangaresBlocks);
        Collect(names, kPierIntact);
        Collect(names, kPierBroken);
        Collect(names, kPlaneArriving);
        Collect(names, kPlaneLoop);
        Collect(names, kPlaneTakingOff);
        Collect(names, kCrashedPlane);
        Collect(names, kHangarExploded);
        Collect(names, kHangarStanding);
    } else if (level == "isla") {
        Collect(names, kCreditos);
        Collect(names, kDockersHuye);
        Collect(names, kMemoriam);
        Collect(names, kPredockers);
        Collect(names, kScaffoldWhole);
        Collect(names, kIsland);
        Collect(names, kScaffoldPlanks);
        Collect(names, kScaffoldPieces);
        Collect(names, kScaffoldBroken);
        Collect(names, kWayToSquare);
        Collect(names, kFinalArena);
    }
    return {names.begin(), names.end()};
}
