"""Where the classifier's real training and development audio comes from, and how it is labelled.

Every source is a Debian 12 package fetched with `apt-get download` (fetch-data) at the version
below; nothing is committed. A package belongs to one split only, so the development figures
are measured on recordings, speakers and composers the model never heard. Labels come from the
file names and the packages' documentation, checked by the statistics that build-dataset prints
(duration, level, voicing, spectral balance per label).

The held-out evaluation's packages are listed in HELD_OUT and refused wherever they appear.
"""

# Packages the held-out evaluation is made from: never fetched, never used. Their speakers are
# left out too: asterisk-core-sounds-es-wav is recorded by the English set's voice, so it is not
# used either.
HELD_OUT = {
    "asterisk-core-sounds-en", "asterisk-core-sounds-en-gsm", "asterisk-core-sounds-en-wav",
    "asterisk-core-sounds-en-g722", "bucklespring-data", "frozen-bubble-data", "fb-music-high",
    "gcompris-qt-data", "gnome-shell-pomodoro-data", "hedgewars-data", "lincity-ng-data", "lmms-common",
    "lugaru-data", "megaglest-data", "minetest-data", "nexuiz-data", "openarena-data", "openarena-085-data",
    "openarena-088-data", "openclonk-data", "openttd-opensfx", "pekka-kana-2-data", "scorched3d-data",
    "sonic-pi-samples", "tuxpaint-data", "tuxpaint-plugins-default", "tuxpaint-stamps-default",
    "ufoai-sound", "wesnoth-1.16-data", "wesnoth-1.16-music", "wesnoth-data", "wesnoth-music",
    "wesnoth-1.16-core", "wesnoth-core",
}


# Projects whose recordings the held-out packages hold: a file that a package's copyright file
# says comes from one of them is a copy of held-out material and is not used.
HELD_OUT_PROJECTS = r"wesnoth|minetest|openarena|nexuiz|hedgewars|tux ?paint|gcompris|frozen.?bubble|lincity|lugaru|" \
    r"megaglest|openclonk|openttd|pekka.?kana|scorched ?3d|sonic.?pi|ufo.?ai|bucklespring|pomodoro|lmms"


def is_held_out(package):
    return (package in HELD_OUT or package.startswith("wesnoth") or package.startswith("asterisk-core-sounds-en")
            or package.startswith("asterisk-core-sounds-es"))


# package: (version, split, licence, what it holds)
PACKAGES = {
    # training
    "asterisk-core-sounds-fr-wav": ("1.6.1-1", "train", "CC-BY-SA-3.0", "French (Canadian) telephone prompts, one female voice, 8 kHz"),
    "asterisk-core-sounds-ru-wav": ("1.6.1-1", "train", "CC-BY-3.0", "Russian telephone prompts, one female voice, 8 kHz"),
    "asterisk-prompt-fr-armelle": ("20070613-2.2", "train", "GPL-2 or BSD-style (see its copyright)", "French telephone prompts, another female voice, GSM, 8 kHz"),
    "fillets-ng-data-cs": ("1.0.1-1.1", "train", "GPL-2+", "Czech dialogue of a puzzle game, several actors, full band"),
    "klettres-data": ("4:22.12.3-1", "train", "GPL-2+", "spoken letters and syllables in 20 languages"),
    "hyperrogue-music": ("12.0q-1", "train", "CC-BY-SA-3.0", "instrumental game music"),
    "colobot-common-sounds": ("0.2.0-2", "train", "GPL-3+", "orchestral and electronic game music"),
    "glob2-data": ("0.9.4.4-6", "train", "GPL-3+", "game music"),
    "xmoto-data": ("0.6.1+repack-9", "train", "GPL-2+", "game music (rock, electronic)"),
    "widelands-data": ("2:1.1-3", "train", "GPL-2+", "wild and farm animals, birds, workshop noises, music"),
    "teeworlds-data": ("0.7.5-2", "train", "CC-BY-SA-3.0", "footsteps and body foley, weapons, game noises"),
    "freedroid-data": ("1.0.2+cvs040112-7", "train", "GPL-2+", "electronic game noises"),
    "heroes-sound-effects": ("1.0-6", "train", "GPL-2+", "crowds, clocks, game noises"),
    "pysiogame": ("4.20.01-1", "train", "GPL-3+", "mouse clicks, whistles, interface noises"),
    "ardentryst": ("1.71-9", "train", "GPL-3+ (sounds: see its copyright)", "footsteps of two characters on four grounds, game music"),
    "kajongg": ("4:22.12.3-1", "train", "GPL-2+", "tile names spoken by eight voices, English and German, full band"),
    "tuxfootball": ("0.3.1-7", "train", "GPL-2+", "a football crowd cheering, booing and gasping; whistles, kicks, beeps"),
    "fretsonfire-songs-muldjord": ("2.dfsg-2.1", "train", "CC-BY-SA-3.0", "metal songs with singing"),
    "supertuxkart-data": ("1.4+dfsg-2", "train", "GPL-3+ / CC-BY-SA (see its copyright)", "a cow, sheep, tropical birds, an airport announcement, game noises, music"),
    "simutrans-pak64": ("121.0-1", "train", "Artistic", "a horse"),
    "asterisk-prompt-it-menardi-wav": ("1:1.4.22+mm20110907-3.1", "train", "CC-BY-SA-3.0 (Italian)", "Italian telephone prompts, one female voice, 8 kHz"),
    # development
    "asterisk-prompt-es-co": ("0.20070403-2.1", "dev", "GPL-2+", "Colombian Spanish telephone prompts, GSM, 8 kHz"),
    "asterisk-core-sounds-it-wav": ("1.6.1-1", "dev", "CC-BY-SA-3.0", "Italian telephone prompts, 8 kHz"),
    "fillets-ng-data-nl": ("1.0.1-1.1", "dev", "GPL-2+", "Dutch dialogue of a puzzle game, several actors, full band"),
    "ktuberling-data": ("4:22.12.3-1", "dev", "GPL-2+", "spoken words in languages that klettres-data lacks"),
    "alsa-utils": ("1.2.8-1", "dev", "GPL-2", "a spoken channel test (one female voice)"),
    "drascula-music": ("1.0+ds4-2", "dev", "Drascula licence (free redistribution)", "adventure game music"),
    "asterisk-moh-opsound-wav": ("2.03-1.1", "dev", "CC-BY-SA-3.0", "music on hold, 8 kHz"),
    "warmux-data": ("1:11.04.1+repack2-4", "dev", "GPL-2+", "game music, footsteps, game noises"),
    "0ad-data": ("0.0.26-1", "dev", "CC-BY-SA-3.0", "farm and wild animals, birds"),
    "freedink-data": ("1.08.20190120-2", "dev", "GPL-3+", "a bird, stairs, doors, punches, game noises"),
    "pingus-data": ("0.7.6-5.1", "dev", "GPL-2+", "interface and game noises"),
    "tuxtype-data": ("1.8.3-5.1", "dev", "GPL-2", "a cheering crowd, running steps, game noises"),
    "flare-game": ("1.14-1", "dev", "CC-BY-SA-3.0 (see its copyright)", "footsteps on five grounds, songbirds, an owl, ravens, game music and noises"),
    "unknown-horizons": ("2019.1-6", "dev", "GPL-2+ / CC-BY-SA (see its copyright)", "a sheep field, a narrator in three languages, music, building noises"),
    "fretsonfire-songs-sectoid": ("1.dfsg-3.1", "dev", "Expat", "rock songs with singing"),
    "freedroidrpg-data": ("1.0-1", "dev", "GPL-2+", "a player's spoken comments, a footstep, music, game noises"),
}

KTUBERLING_DEV_LANGUAGES = "ca|el|gl|sl|sr|sr@latin|sr@ijekavian|sr@ijekavianlatin|sv|ro|pt|ga|fi|wa"

# (package, regular expression on the path inside the package, label). The first rule that
# matches a file decides; files that no rule matches are not used. "0ad-data" paths are inside
# its public.zip.
RULES = [
    ("asterisk-core-sounds-fr-wav", r"/sounds/fr_CA_f_June/.*\.wav$", "speech"),
    ("asterisk-core-sounds-ru-wav", r"/sounds/ru_RU_f_IvrvoiceRU/.*\.wav$", "speech"),
    ("asterisk-core-sounds-it-wav", r"/sounds/it_IT_m_Carlo/.*\.wav$", "speech"),
    ("asterisk-prompt-it-menardi-wav", r"/sounds/it_IT_f_Menardi/.*\.wav$", "speech"),
    ("kajongg", r"/kajongg/voices/.*\.ogg$", "speech"),
    ("unknown-horizons", r"/audio/voice/.*\.ogg$", "speech"),
    ("freedroidrpg-data", r"/sound/effects/tux_ingame_comments/.*\.ogg$", "speech"),
    ("supertuxkart-data", r"/sfx/sara_airport_pa\.ogg$", "speech"),
    ("asterisk-prompt-fr-armelle", r"/sounds/fr/.*\.gsm$", "speech"),
    ("asterisk-prompt-es-co", r"/sounds/es/.*\.gsm$", "speech"),
    ("fillets-ng-data-cs", r"/sound/[^/]+/cs/.*\.ogg$", "speech"),
    ("fillets-ng-data-nl", r"/sound/[^/]+/nl/.*\.ogg$", "speech"),
    ("klettres-data", r"/klettres/[^/]+/(alpha|syllab)/.*\.ogg$", "speech"),
    ("ktuberling-data", r"/ktuberling/sounds/(" + KTUBERLING_DEV_LANGUAGES + r")/.*\.ogg$", "speech"),
    ("alsa-utils", r"/sounds/alsa/(Front|Rear|Side)_.*\.wav$", "speech"),
    ("hyperrogue-music", r"/hyperrogue/music/.*\.ogg$", "music"),
    ("colobot-common-sounds", r"/colobot/music/.*\.ogg$", "music"),
    ("glob2-data", r"/glob2/data/zik/.*\.ogg$", "music"),
    ("xmoto-data", r"/Musics/.*\.ogg$", "music"),
    ("widelands-data", r"/data/music/.*\.ogg$", "music"),
    ("drascula-music", r"/drascula/audio/.*\.ogg$", "music"),
    ("asterisk-moh-opsound-wav", r"/moh/.*\.wav$", "music"),
    ("warmux-data", r"/warmux/music/.*\.ogg$", "music"),
    ("ardentryst", r"/ardentryst/Music/.*\.ogg$", "music"),
    ("fretsonfire-songs-muldjord", r"/songs/.*/song\.ogg$", "music"),
    ("fretsonfire-songs-sectoid", r"/songs/.*/song\.ogg$", "music"),
    ("supertuxkart-data", r"/data/music/.*\.ogg$", "music"),
    ("flare-game", r"/fantasycore/music/[a-z_]*_theme\.ogg$", "music"),
    ("unknown-horizons", r"/audio/music/.*\.ogg$", "music"),
    ("freedroidrpg-data", r"/sound/music/.*\.ogg$", "music"),
    ("widelands-data", r"/sound/animals/bird.*\.ogg$", "bird"),
    ("widelands-data", r"/sound/animals/.*\.ogg$", "animal"),
    ("widelands-data", r"/sound/farm/(sheep|horse|ox|donkey|farm_animal).*\.ogg$", "animal"),
    ("widelands-data", r"/sound/(hammering|smiths|sawmill|woodcutting|stonecutting|metal|mill)/.*\.ogg$", "other"),
    ("0ad-data", r"/fauna/(animal|death|attack)/.*(chicken|peacock|flamingo|bird|duck).*\.ogg$", "bird"),
    ("0ad-data", r"/fauna/(animal|death|attack)/.*\.ogg$", "animal"),  # not /movement/ (hooves)
    ("freedink-data", r"/Sound/bird1\.wav$", "bird"),
    ("supertuxkart-data", r"/sfx/exotic-birds.*\.ogg$", "bird"),
    ("supertuxkart-data", r"/tracks/[^/]+/(cow|sheep)\.ogg$", "animal"),
    ("simutrans-pak64", r"/sound/horse\.wav$", "animal"),
    ("flare-game", r"/soundfx/environment/(bird_twitter|forest_owl|raven)_loop\.ogg$", "bird"),
    ("unknown-horizons", r"/audio/sounds/sheepfield\.ogg$", "animal"),
    ("teeworlds-data", r"/audio/foley_(foot|land|dbljump|body_impact).*\.wv$", "footsteps"),
    ("teeworlds-data", r"/audio/(sfx|wp|hook)_.*\.wv$", "other"),
    ("warmux-data", r"/misc/step\.ogg$", "footsteps"),
    ("tuxtype-data", r"/sounds/run\.wav$", "footsteps"),
    ("freedink-data", r"/Sound/(stairs|open|punch)\.wav$", "footsteps"),
    ("ardentryst", r"/Sounds/(NYX|PYR)/[A-Z]+_STEP_.*\.ogg$", "footsteps"),
    ("flare-game", r"/soundfx/steps/step_.*\.ogg$", "footsteps"),
    ("freedroidrpg-data", r"/sound/effects/tux_footstep\.ogg$", "footsteps"),
    ("tuxfootball", r"/sound/crowd(cheer|boo|ooh)\.wav$", "chatter"),
    ("pysiogame", r"/sounds/188043__antumdeluge__mouse\.ogg$", "typing"),
    ("heroes-sound-effects", r"/sfx/foule[12]\.wav$", "chatter"),
    ("tuxtype-data", r"/sounds/cheer\.wav$", "chatter"),
    ("freedroid-data", r"/sound/.*_Sound.*\.wav$", "other"),
    ("heroes-sound-effects", r"/sfx/(alien|bonus|claxon|clock0[12]|coins|explo01|invinc|life|menu0[123]|power_up|speed(up|own)|finlevel)\.wav$", "other"),
    ("pysiogame", r"/sounds/sfx_.*\.ogg$", "other"),
    ("freedink-data", r"/Sound/(arrow|axe|bhit|bow1|burn|fire|gold|high2|save|secret|sel1|swing|sword2)\.wav$", "other"),
    ("pingus-data", r"/sounds/(chink|digger|plop|plop2|splash|tick|ting)\.wav$", "other"),
    ("tuxtype-data", r"/sounds/(alarm|bite|buzz|explosion|laser|pop|splat|tock|shieldsdown)\.wav$", "other"),
    ("tuxfootball", r"/sound/(beep|bounce|decrement_beep|increment_beep|kick|refwhistle.*|select_beep)\.wav$", "other"),
    ("supertuxkart-data", r"/sfx/(appear|ball_bounce|boing|bowling_.*|break|bubblegum_explode|bzzt|clock|crash.*|energy_bar_.*|explosion|forcefield|goo|grab_collectable|hammer|horn|inflate|jump|locked|metal_clang|parachute|plopp|plunger|portal|skid|splash|strike|swap|swatter|wooden_bridge)\.ogg$", "other"),
    ("flare-game", r"/fantasycore/soundfx/(door_open|flying_loot|level_up|melee_attack|no_mana|wood_open)\.ogg$", "other"),
    ("unknown-horizons", r"/audio/sounds/(build|click|flippage|invalid|lumberjack|refresh|ships_bell|smith|stonemason|success)\.ogg$", "other"),
    ("freedroidrpg-data", r"/sound/effects/(?!Influencer_Scream)[A-Za-z_]+(_[0-9])?\.ogg$", "other"),
    ("warmux-data", r"/sound/default/misc/(box_.*|cancel|change_weapon|clic|error|ok|sink|weapon_.*)\.ogg$", "other"),
]
