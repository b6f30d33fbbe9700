#include "datagen/EnemyLists.h"

#include <cmath>
#include <fstream>
#include <iomanip>
#include <locale>
#include <map>
#include <sstream>

#include "xml/XMLParser.h"

namespace datagen {

namespace {

bool OneOf(const std::string& value, std::initializer_list<const char*> names)
{
    for (const char* name : names)
        if (value == name)
            return true;
    return false;
}

class EnemyReader : public CXMLParser {
public:
    EnemyReader(const LevelLayout& layout, std::vector<LayoutEnemy>& out) : m_Layout(layout), m_Out(out) {}

    void OnStartElement(const std::string& name, CXMLAttributes& a) override
    {
        if (name != "enemy" || !m_Problem.empty())
            return;
        LayoutEnemy e;
        e.room = a.GetString("room", "");
        e.wave = a.GetString("wave", "");
        e.name = a.GetString("name", "");
        e.model = a.GetString("model", "enemy");
        e.type = a.GetString("type", "");
        e.weapon = a.GetString("weapon", "gun");
        e.state = a.GetString("state", "IDLE_STATE");
        e.scripts = a.GetString("scripts", "");
        e.yawDegrees = a.GetFloat("yaw", 0.0f);
        const std::string where = "enemy " + e.name + ": ";
        if (e.name.empty() || e.room.empty() || e.wave.empty() || e.type.empty()) {
            m_Problem = "an enemy needs a name, a room, a wave and a type";
            return;
        }
        // The game's loader makes only these; anything else would be an
        // enemy without a model or a weapon.
        if (!OneOf(e.model, {"enemy", "enemyWhite", "portuario"})) {
            m_Problem = where + "no model called " + e.model;
            return;
        }
        if (!OneOf(e.weapon, {"gun", "thompson", "shotgun"})) {
            m_Problem = where + "no weapon called " + e.weapon;
            return;
        }
        std::istringstream numbers(a.GetString("points", ""));
        numbers.imbue(std::locale::classic());
        std::vector<float> values;
        float v;
        while (numbers >> v)
            values.push_back(v);
        if (values.empty() || values.size() % 2 != 0 || !numbers.eof()) {
            m_Problem = where + "points must be x z pairs";
            return;
        }
        for (size_t i = 0; i < values.size(); i += 2) {
            float height = 0.0f;
            if (!OnFloor(values[i], values[i + 1], height)) {
                std::ostringstream text;
                text << where << "point " << values[i] << " " << values[i + 1] << " is not on a floor";
                m_Problem = text.str();
                return;
            }
            e.points.emplace_back(values[i], height, values[i + 1]);
        }
        int inWave = 0;
        for (const LayoutEnemy& other : m_Out) {
            if (other.room != e.room || other.wave != e.wave)
                continue;
            ++inWave;
            if (other.name == e.name) {
                m_Problem = where + "named twice in " + e.wave;
                return;
            }
        }
        // The camera and the shot code keep five enemies of a wave at most.
        if (inWave >= 5) {
            m_Problem = where + e.wave + " already has five enemies";
            return;
        }
        m_Out.push_back(e);
    }

    const std::string& Problem() const { return m_Problem; }

private:
    // The ground under the point: a floor, or the top of a solid low enough
    // to stand on (a wall or a roof is no place to start from).
    bool OnFloor(float x, float z, float& height) const
    {
        if (!m_Layout.GroundAt(x, z, height))
            return false;
        for (const LayoutObject& o : m_Layout.objects)
            if (o.shape != LayoutShape::Sky && o.shape != LayoutShape::Floor && o.Covers(x, z) &&
                o.size.y > kHighestStep)
                return false;
        return true;
    }

    static constexpr float kHighestStep = 400.0f;

    const LevelLayout& m_Layout;
    std::vector<LayoutEnemy>& m_Out;
    std::string m_Problem;
};

std::string Number(float value)
{
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << std::setprecision(9) << value + 0.0f;
    return text.str();
}

std::string Transform(const D3DXVECTOR3& point, float yawDegrees)
{
    D3DXMATRIX turn, move, world;
    D3DXMatrixRotationY(&turn, D3DXToRadian(yawDegrees));
    D3DXMatrixTranslation(&move, point.x, point.y, point.z);
    D3DXMatrixMultiply(&world, &turn, &move);
    std::string text;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 3; ++column)
            text += (row || column ? " " : "") + Number(world.m[row][column]);
    return text;
}

int ScriptCount(const std::string& scripts)
{
    if (scripts.empty())
        return 0;
    int count = 1;
    for (char c : scripts)
        count += c == '-';
    return count;
}

} // namespace

bool ReadLayoutEnemies(const std::string& xml, const LevelLayout& layout, std::vector<LayoutEnemy>& out,
                       std::string& error)
{
    EnemyReader reader(layout, out);
    std::istringstream in(xml);
    if (!reader.Parse(in, "layout")) {
        error = reader.GetErrorText();
        return false;
    }
    error = reader.Problem();
    return error.empty();
}

std::string EnemyListXml(const std::vector<LayoutEnemy>& enemies)
{
    // Rooms and waves in name order, enemies of a wave in layout order.
    std::map<std::string, std::map<std::string, std::vector<const LayoutEnemy*>>> rooms;
    for (const LayoutEnemy& e : enemies)
        rooms[e.room][e.wave].push_back(&e);
    std::ostringstream w;
    w << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!-- Made by datagen from the <enemy> elements of tools/datagen/layout/: change the layouts, not this "
         "file. -->\n"
      << "<ENEMY_LIST>\n  <ROOMS count=\"" << rooms.size() << "\">\n";
    for (const auto& room : rooms) {
        w << "    <ROOM name=\"" << room.first << "\">\n";
        for (const auto& wave : room.second) {
            w << "      <WAVE name=\"" << wave.first << "\">\n        <ENEMIES count=\"" << wave.second.size()
              << "\">\n";
            for (const LayoutEnemy* e : wave.second) {
                w << "          <ENEMY name=\"" << e->name << "\" model=\"" << e->model << "\" IAtype=\"" << e->type
                  << "\" weapon=\"" << e->weapon << "\">\n";
                w << "            <IA patrolType=\"0\" initialState=\"" << e->state << "\" numOfScripts=\""
                  << ScriptCount(e->scripts) << "\" scripts=\"" << e->scripts << "\"/>\n";
                w << "            <POINTS count=\"" << e->points.size() << "\">\n";
                for (const D3DXVECTOR3& p : e->points)
                    w << "              <POINT transform=\"" << Transform(p, e->yawDegrees) << "\"/>\n";
                w << "            </POINTS>\n          </ENEMY>\n";
            }
            w << "        </ENEMIES>\n      </WAVE>\n";
        }
        w << "    </ROOM>\n";
    }
    w << "  </ROOMS>\n</ENEMY_LIST>\n";
    return w.str();
}

void GenerateEnemyLists(Output& out)
{
    std::vector<LayoutEnemy> enemies;
    for (const std::string& file : LevelLayoutFiles()) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        LevelLayout layout;
        std::string error;
        if (!ParseLayout(text.str(), layout, error) || !ReadLayoutEnemies(text.str(), layout, enemies, error)) {
            out.Fail(file + ": " + error);
            return;
        }
    }
    out.Write(kEnemyListFile, EnemyListXml(enemies));
}

} // namespace datagen
