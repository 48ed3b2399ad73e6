// Marks the menu entry of the page being shown.
window.onload = function () {
  var links = document.querySelectorAll("ul.menu a");
  for (var i = 0; i < links.length; i++) {
    if (links[i].href === window.location.href) links[i].style.fontWeight = "bold";
  }
};
