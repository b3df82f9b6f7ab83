#!/usr/bin/env bash
# Makes the frames of animations from outside the project, for bench/animations.sh to measure:
# animated GIFs of Debian's packages (loaders, spinners, smileys, a clock, progress bars, a
# banner), which nobody here drew, converted with ImageMagick, transparency on black, into
# three groups: gif16 (16 x 16: padded, or sampled down where larger), gif32 (32 x 32) and
# gif64 (64 x 32 panels: every such GIF of these packages 40 pixels wide or more, sampled down
# to fit and centred); and sprite16, pixel art: xpenguins's penguins and turtles, the first 8
# frames of 30 x 30 of each sheet, sampled down to 16 x 16. The packages are downloaded from
# Debian's registry, kept out of the repository, and their versions printed.
#   bash bench/outside.sh OUT && FRAMES=OUT PACK=small bash bench/animations.sh
# Needs apt-get, dpkg-deb and ImageMagick; writes only under OUT.
set -euo pipefail
out=$(mkdir -p "$1" && cd "$1" && pwd)
cd "$out"
rm -rf debs files list && mkdir debs files
# NAME GROUP PACKAGE FILE (in the package, a pattern) IMAGEMAGICK'S OPTIONS
table=$(cat <<'EOF'
wp_spinner16 gif16 wordpress usr/share/wordpress/wp-admin/images/spinner.gif -sample 16x16!
pma_ajax_clock gif16 phpmyadmin usr/share/phpmyadmin/themes/pmahomme/img/ajax_clock_small.gif
wp_loading gif16 wordpress usr/share/wordpress/wp-admin/images/loading.gif
wp_wpspin gif16 wordpress usr/share/wordpress/wp-includes/images/wpspin.gif
wp_smiley_cry gif16 wordpress usr/share/wordpress/wp-includes/images/smilies/icon_cry.gif -gravity center -extent 16x16
wp_smiley_lol gif16 wordpress usr/share/wordpress/wp-includes/images/smilies/icon_lol.gif -gravity center -extent 16x16
wp_smiley_roll gif16 wordpress usr/share/wordpress/wp-includes/images/smilies/icon_rolleyes.gif -gravity center -extent 16x16
mw_spinner16 gif16 mediawiki usr/share/mediawiki/resources/src/mediawiki.skinning/images/spinner.gif -sample 16x16!
tiny_loader16 gif16 wordpress usr/share/wordpress/wp-includes/js/tinymce/skins/lightgray/img/loader.gif -sample 16x16!
wp_wpspin_light32 gif32 wordpress usr/share/wordpress/wp-admin/images/wpspin_light-2x.gif
mw_ajax_loader32 gif32 mediawiki usr/share/mediawiki/resources/src/mediawiki.skinning/images/ajax-loader.gif
colorbox_loading32 gif32 libjs-jquery-colorbox usr/share/doc/libjs-jquery-colorbox/examples/example1/images/loading.gif
roundcube_loading32 gif32 roundcube-skin-classic usr/share/roundcube/skins/classic/images/display/loading.gif -gravity center -extent 32x32
tb_loading_strip gif64 wordpress usr/share/wordpress/wp-includes/js/thickbox/loadingAnimation.gif -sample 64x32> -gravity center -extent 64x32
tk_anim gif64 perl-tk usr/lib/*/perl5/*/Tk/anim.gif -sample 64x32> -gravity center -extent 64x32
icinga_loader gif64 icingaweb2 usr/share/icingaweb2/public/img/icinga-loader.gif -sample 64x32> -gravity center -extent 64x32
ikiwiki_pbar gif64 ikiwiki usr/share/ikiwiki/attachment/ikiwiki/images/pbar-ani.gif -sample 64x32> -gravity center -extent 64x32
ganglia_spin gif64 ganglia-webfrontend usr/share/ganglia-webfrontend/img/spin.gif -sample 64x32> -gravity center -extent 64x32
ganglia_overlay gif64 ganglia-webfrontend usr/share/ganglia-webfrontend/css/smoothness/images/animated-overlay.gif -sample 64x32> -gravity center -extent 64x32
wp_spinner2x gif64 wordpress usr/share/wordpress/wp-includes/images/spinner-2x.gif -sample 64x32> -gravity center -extent 64x32
penguins_walker sprite16 xpenguins usr/share/xpenguins/themes/Penguins/walker.xpm -crop 30x30 +repage -delete 8-15 -sample 16x16!
penguins_faller sprite16 xpenguins usr/share/xpenguins/themes/Penguins/faller.xpm -crop 30x30 +repage -sample 16x16!
penguins_tumbler sprite16 xpenguins usr/share/xpenguins/themes/Penguins/tumbler.xpm -crop 30x30 +repage -sample 16x16!
penguins_climber sprite16 xpenguins usr/share/xpenguins/themes/Penguins/climber.xpm -crop 30x30 +repage -delete 8-15 -sample 16x16!
penguins_floater sprite16 xpenguins usr/share/xpenguins/themes/Penguins/floater.xpm -crop 30x30 +repage -sample 16x16!
turtles_walker sprite16 xpenguins usr/share/xpenguins/themes/Turtles/walker.xpm -crop 30x30 +repage -delete 8-15 -sample 16x16!
turtles_faller sprite16 xpenguins usr/share/xpenguins/themes/Turtles/faller.xpm -crop 30x30 +repage -sample 16x16!
turtles_tumbler sprite16 xpenguins usr/share/xpenguins/themes/Turtles/tumbler.xpm -crop 30x30 +repage -sample 16x16!
turtles_climber sprite16 xpenguins usr/share/xpenguins/themes/Turtles/climber.xpm -crop 30x30 +repage -delete 8-15 -sample 16x16!
turtles_floater sprite16 xpenguins usr/share/xpenguins/themes/Turtles/floater.xpm -crop 30x30 +repage -sample 16x16!
EOF
)
# apt-get download writes where the user _apt may write, or says it could not.
chmod 777 debs
while read -r package; do
    (cd debs && apt-get download -q "$package" >/dev/null)
    dpkg-deb -x debs/"$package"_*.deb files
    echo "$package $(dpkg-deb -f debs/"$package"_*.deb Version)" >&2
done < <(awk '{ print $3 }' <<<"$table" | sort -u)
while read -r name group _ file options; do
    read -ra convert_options <<<"$options"
    mkdir "$name"
    # shellcheck disable=SC2086 # the file's name is a pattern
    convert files/$file -coalesce -background black -alpha remove -alpha off \
        "${convert_options[@]}" -type TrueColor "BMP3:$name/f%03d.bmp"
    echo "$name $group $(find "$name" -name '*.bmp' | wc -l)" >>list
done <<<"$table"
rm -rf debs files
